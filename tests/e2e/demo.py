"""The whole job against the stand-in suite, twice, and what each run did.

A fresh suite: setup values, the running host service, the stand-in SDK with an
installation two hours old, two products with licences, a handful of detections and
VPN traffic at its limit; the stand-in comms library delivering to local collectors,
which also serve the event configuration. The second run shows the run state at work.

Usage: demo.py --build BUILD_DIR
"""

import argparse
import json
import sys
from datetime import timedelta
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from suite import report, sdk_fixture, start_suite, utc_now  # noqa: E402
from winebed import WineBed, log_lines, readable_trace  # noqa: E402

MiB = 1024 * 1024


def show_log(name, data):
    if data is not None:
        print("  %s:" % name)
        for line in log_lines(data):
            print("    " + line.decode("latin-1"))


def show_run(number, result, suite, seen):
    print()
    print("=== Run %d: Zentrak.exe /TestMode" % number)
    print("  exit code: %s  (%.2f s)" % (result.exit_code, result.seconds))
    documents = suite.documents()[seen["documents"]:]
    tracks = suite.tracks()[seen["tracks"]:]
    vpn = suite.vpn_posts()[seen["vpn"]:]
    seen.update(documents=seen["documents"] + len(documents), tracks=seen["tracks"] + len(tracks),
                vpn=seen["vpn"] + len(vpn))
    print("  documents received: %d" % len(documents))
    for document in documents:
        for line in json.dumps(document, indent=2).splitlines():
            print("    " + line)
    print("  tracks received: %d" % len(tracks))
    for track in tracks:
        fields = dict(track["query"])
        print("    %-32s %s" % (track["path"], " ".join(
            "%s=%s" % (k, v) for k, v in fields.items())))
    print("  VPN events received: %d" % len(vpn))
    for post in vpn:
        print("    %s %s?%s" % (post["method"], post["path"],
                               "&".join("%s=%s" % tuple(kv) for kv in post["query"])))
    print("  EvtsData.ini:")
    for section, values in suite.bed.state().items():
        print("    [%s]" % section)
        for key, value in values.items():
            print("    %s=%s" % (key, value))
    show_log("TestZentrak_OK.log", result.ok_log)
    show_log("TestZentrak_ERROR.log", result.error_log)
    if number == 1:
        # What support would read: the trace file through tools/tracefile/readtrace.py.
        print("  trace (time UTC, unit, level, text):")
        for line in readable_trace(result.traces):
            print("    " + line)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, type=Path)
    options = parser.parse_args()

    bed = WineBed(options.build)
    print("Setting up the Wine prefix %s ..." % bed.prefix)
    bed.set_up()
    bed.reset()

    now = utc_now()
    reports = [report(0x100003, now - timedelta(minutes=50 - i), 7000 + i, 300 + i % 3)
               for i in range(5)]
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 1800 * MiB},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    suite = start_suite(bed, fixture=sdk_fixture(installed=now - timedelta(hours=2),
                                                 reports=reports, vpn=vpn))
    try:
        print("Host service VelkorServiceMain: %s" % bed.service_state())
        workdir = options.build / "demo"
        workdir.mkdir(exist_ok=True)
        seen = {"documents": 0, "tracks": 0, "vpn": 0}
        for number in (1, 2):
            for stale in workdir.iterdir():
                stale.unlink()
            result = bed.run(["/TestMode"], workdir=workdir)
            show_run(number, result, suite, seen)
    finally:
        suite.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
