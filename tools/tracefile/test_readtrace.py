"""The trace-file reader on a small sample."""

import subprocess
import sys
from pathlib import Path

import readtrace

HERE = Path(__file__).resolve().parent

SAMPLE = (
    '{"time_utc":"2024-05-01T10:20:30.123Z","unit":"run","n":34,"level":2,"flag":1,'
    '"text":"local configuration copy is stale: local digest AB, expected CD",'
    '"args":["AB","CD"]}\n'
    '\n'
    '{"time_utc":"2024-05-01T10:20:30.200Z","unit":"tracking","n":64,"level":5,"flag":2,'
    '"text":"VPN decision: event 80","args":[80]}\n'
    '{"unit":"transport","n":23,"level":4,"flag":4,"args":[1]}\n'
    '{"time_utc":"2024-05-01T10:20:31.000Z","unit":"run","n":20,"le\n'
)


def test_records_become_time_unit_level_and_text(tmp_path):
    trace = tmp_path / "trace.jsonl"
    trace.write_text(SAMPLE, encoding="utf-8")
    assert readtrace.format_file(trace) == [
        "2024-05-01T10:20:30.123Z run       error   "
        "local configuration copy is stale: local digest AB, expected CD",
        "2024-05-01T10:20:30.200Z tracking  verbose VPN decision: event 80",
        "-                        transport info    message 23 [1]",
        '(not a trace record) {"time_utc":"2024-05-01T10:20:31.000Z","unit":"run","n":20,"le',
    ]


def test_command_prints_the_lines_of_each_file(tmp_path):
    first = tmp_path / "a.jsonl"
    second = tmp_path / "b.jsonl"
    first.write_text(SAMPLE.splitlines()[0] + "\n", encoding="utf-8")
    second.write_text(SAMPLE.splitlines()[2] + "\n", encoding="utf-8")
    done = subprocess.run([sys.executable, str(HERE / "readtrace.py"), str(first), str(second)],
                          capture_output=True, text=True, check=True)
    lines = done.stdout.splitlines()
    assert len(lines) == 2
    assert lines[0].endswith("local digest AB, expected CD")
    assert lines[1].startswith("2024-05-01T10:20:30.200Z tracking  verbose ")


def test_command_without_a_file_explains_itself():
    done = subprocess.run([sys.executable, str(HERE / "readtrace.py")], capture_output=True,
                          text=True)
    assert done.returncode == 2
    assert "Usage: readtrace.py FILE" in done.stderr
