"""The run's own cost next to what any program pays to start under the same platform.

Times Zentrak.exe in the demo installation (an installation event, 11 detections in
the document, 10 detection tracks and a VPN event; the stand-in comms library
journaling, not delivering) against Baseline.exe, which loads the same system DLLs,
enters COM, opens a WinHTTP session and acquires a CryptoAPI context. Both run under one
warm Wine server, several times each; the launcher measures each process from its
creation to its end and reads its peak working set.

Usage: run_cost.py --build BUILD_DIR [--runs N]
"""

import argparse
import statistics
import sys
from datetime import timedelta
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from suite import report, sdk_fixture, start_suite, utc_now  # noqa: E402
from winebed import WineBed  # noqa: E402

MiB = 1024 * 1024


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, type=Path)
    parser.add_argument("--runs", type=int, default=15)
    options = parser.parse_args()

    bed = WineBed(options.build)
    bed.set_up()
    bed.reset()
    now = utc_now()
    reports = [report(0x100003, now - timedelta(minutes=40 - i), 8000 + i, 400 + i) for i in range(12)]
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    suite = start_suite(bed, fixture=sdk_fixture(installed=now - timedelta(hours=2), reports=reports,
                                                 vpn=vpn))
    bed.run_env.pop("ZENTRAK_COMMS_DELIVER", None)  # journal only
    zentrak, baseline = [], []
    try:
        for _ in range(options.runs):
            # Every run does the whole job: forget what the previous one delivered.
            for name in ("EvtsData.ini", "EvtsInstall.txt"):
                (bed.repository / name).unlink(missing_ok=True)
            # The program's own cost: no trace file, no SDK journal (ETW is the program's
            # transport, the journal the stand-in's).
            run = bed.run(["/TestMode"], trace_file=False, sdk_journal=False)
            sends = [c for c in run.comms_journal if c.get("call") == "SendTrack"]
            transfers = [c for c in run.comms_journal if c.get("call") == "TransferFile"]
            if run.exit_code != 0 or len(sends) != 11 or len(transfers) != 1:
                print("a run did not do the whole job: exit %s, %d tracks, %d transfers"
                      % (run.exit_code, len(sends), len(transfers)))
                return 1
            zentrak.append(run)
            baseline.append(bed.run(program=r"C:\Zentrak\Baseline.exe", trace_file=False,
                                    sdk_journal=False))
        vpn_posts = len(suite.vpn_posts())
    finally:
        suite.stop()

    z = statistics.median(r.process_seconds for r in zentrak)
    b = statistics.median(r.process_seconds for r in baseline)
    print("runs: %d each (VPN events received: %d)" % (options.runs, vpn_posts))
    print("Zentrak.exe   median %.1f ms  (min %.1f, max %.1f)  peak working set %.1f MiB" % (
        z * 1e3, min(r.process_seconds for r in zentrak) * 1e3,
        max(r.process_seconds for r in zentrak) * 1e3,
        max(r.peak_working_set for r in zentrak) / MiB))
    print("Baseline.exe  median %.1f ms  (min %.1f, max %.1f)  peak working set %.1f MiB" % (
        b * 1e3, min(r.process_seconds for r in baseline) * 1e3,
        max(r.process_seconds for r in baseline) * 1e3,
        max(r.peak_working_set for r in baseline) / MiB))
    print("median ratio Zentrak / Baseline: %.2f" % (z / b))
    return 0


if __name__ == "__main__":
    sys.exit(main())
