#!/usr/bin/python3
"""Prints a Zentrak trace file (ZENTRAK_TRACE_FILE) as readable lines: the UTC time, the
unit, the level and the message's text with its arguments in place.

Usage: readtrace.py FILE [FILE ...]
"""

import json
import sys
from pathlib import Path
from typing import Iterable, List

LEVELS = {2: "error", 4: "info", 5: "verbose"}


def format_record(record: dict) -> str:
    """One trace-file record as "time unit level text"."""
    level = LEVELS.get(record.get("level"), str(record.get("level", "?")))
    text = record.get("text")
    if not text:
        # A point without wording: its number and arguments are all there is.
        text = "message %s %s" % (record.get("n", "?"), json.dumps(record.get("args", [])))
    return "%-24s %-9s %-7s %s" % (record.get("time_utc", "-"), record.get("unit", "?"), level,
                                   text)


def format_lines(lines: Iterable[str]) -> List[str]:
    """Every non-empty line; one that is not a record (a run killed while writing it) is
    shown as it is."""
    out = []
    for line in lines:
        if not line.strip():
            continue
        try:
            record = json.loads(line)
        except ValueError:
            out.append("(not a trace record) " + line.rstrip("\r\n"))
            continue
        out.append(format_record(record) if isinstance(record, dict) else line)
    return out


def format_file(path: Path) -> List[str]:
    return format_lines(Path(path).read_text(encoding="utf-8", errors="replace").splitlines())


def main(argv: List[str]) -> int:
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    for name in argv[1:]:
        for line in format_file(Path(name)):
            print(line)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
