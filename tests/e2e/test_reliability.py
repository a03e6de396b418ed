"""Runs that overlap or end abruptly: the lock keeps the job to one copy, and the run
state never holds what was not delivered."""

import random
import time
from datetime import timedelta

from suite import report, sdk_fixture, utc_now
from winebed import log_lines

MiB = 1024 * 1024
ANOTHER_INSTANCE = b"Hay otra instancia de Zentrak.exe ejecutandose."


def test_twenty_copies_started_at_once_do_the_job_once(bed, suite):
    s = suite()
    bed.run_env["ZENTRAK_COMMS_DELAY_MS"] = "8000"  # the first copy holds the lock meanwhile
    started = [bed.start(["/TestMode"], timeout=60, trace_file=False) for _ in range(20)]
    results = [run.wait(timeout=120) for run in started]

    assert sorted(r.exit_code for r in results) == [-1] * 19 + [0]
    stopped = [r for r in results if r.exit_code == -1]
    assert all(log_lines(r.error_log) == [ANOTHER_INSTANCE] for r in stopped)
    assert all(r.ok_log is None for r in stopped)
    assert max(r.process_seconds for r in stopped) < 5
    assert len(s.documents()) == 1


def test_a_run_killed_at_any_point_leaves_only_what_was_delivered(bed, suite):
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    now = utc_now()
    reports = [report(0x100003, now - timedelta(minutes=20 - i), 60 + i, 70) for i in range(4)]
    s = suite(fixture=sdk_fixture(reports=reports, vpn=vpn))
    chance = random.Random(20261210)
    for _ in range(30):
        killed = bed.run(timeout=chance.uniform(0.01, 0.3), trace_file=False, sdk_journal=False)
        time.sleep(0.2)  # what was sent has reached the collectors' records
        state = bed.state()
        documents = s.documents()
        if "EVT1" in state:
            assert any(e["EventType"] == "Installation"
                       for d in documents for e in d["DeviceEvents"]), state
        if "VPN_Status" in state:
            assert s.vpn_posts(), state
        if "GLOBAL" in state:
            assert documents or s.tracks("track-detections"), state
        assert killed.exit_code in (None, 0)

    last = bed.run(["/TestMode"])
    assert last.exit_code == 0
    assert b"Fin de la ejecucion." in (last.ok_log or last.error_log)
