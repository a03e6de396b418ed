"""One run of Zentrak.exe /TestMode against the stand-in suite, and what it did.

Usage: demo.py --build BUILD_DIR
"""

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from winebed import WineBed, log_lines  # noqa: E402


def show_log(name, data):
    if data is None:
        return
    print("  %s:" % name)
    for line in log_lines(data):
        print("    " + line.decode("latin-1"))


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, type=Path)
    options = parser.parse_args()

    bed = WineBed(options.build)
    print("Setting up the Wine prefix %s ..." % bed.prefix)
    bed.ensure_prefix()
    bed.install()
    bed.clean()
    bed.service_start()
    print("Host service %s: %s" % ("VelkorServiceMain", bed.service_state()))

    workdir = options.build / "demo"
    workdir.mkdir(exist_ok=True)
    for stale in workdir.iterdir():
        stale.unlink()
    result = bed.run(["/TestMode"], workdir=workdir)

    print()
    print("Zentrak.exe /TestMode")
    print("  exit code: %s  (%.2f s)" % (result.exit_code, result.seconds))
    show_log("TestZentrak_OK.log", result.ok_log)
    show_log("TestZentrak_ERROR.log", result.error_log)
    print("  trace points:")
    for t in result.traces:
        args = " ".join(repr(a) for a in t["args"])
        print("    %-9s %3d  level %d flag %d  %s" % (t["unit"], t["n"], t["level"], t["flag"], args))
    return 0


if __name__ == "__main__":
    sys.exit(main())
