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
    # At once: none waited for the lock or for anything else (a loaded two-core machine
    # starts twenty Wine processes slowly, but far within the first copy's run).
    assert max(r.process_seconds for r in stopped) < 30
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


def detection_ids(s) -> list:
    return [dict(t["query"])["DetectionID"] for t in s.tracks("track-detections")]


def test_a_run_killed_while_a_detection_track_is_sent_sends_it_again_next_time(bed, suite):
    now = utc_now()
    reports = [report(0x100003, now - timedelta(minutes=20 - i), 500 + i, 900) for i in range(2)]
    s = suite(fixture=sdk_fixture(reports=reports))
    # The installation track is the first send, the first detection track the second.
    bed.run_env["ZENTRAK_COMMS_HOLD"] = "SendTrack:2=60000"
    run = bed.start(timeout=120)
    assert run.wait_for_comms("Hold"), "the run never reached the detection track: %s" % run.progress()
    run.kill_program()
    run.wait()
    time.sleep(0.2)  # what was sent has reached the collectors' records

    # The track reached its receiver, but nothing of the run was recorded; the marker
    # was written when the installation object was built.
    assert [dict(t["query"])["event_type"] for t in s.tracks("track-campaign")] == ["install"]
    assert detection_ids(s) == ["500"]
    assert s.documents() == [] and bed.state() == {}
    assert (bed.repository / "EvtsInstall.txt").exists()

    del bed.run_env["ZENTRAK_COMMS_HOLD"]
    again = bed.run()
    assert again.exit_code == 0
    # No second installation event (the marker), both detections again, and now recorded.
    assert detection_ids(s) == ["500", "500", "501"]
    [document] = s.documents()
    assert [e["EventType"] for e in document["DeviceEvents"]] == ["Detection"]
    state = bed.state()
    assert "lastExec" in state["GLOBAL"] and "EVT1" not in state


def test_a_run_killed_after_the_transfer_before_recording_it_sends_the_detections_again(bed, suite):
    now = utc_now()
    reports = [report(0x100003, now - timedelta(minutes=20 - i), 500 + i, 900) for i in range(2)]
    s = suite(fixture=sdk_fixture(reports=reports))
    # CloseChannel comes after TransferFile returned and before EvtsData.ini is written.
    bed.run_env["ZENTRAK_COMMS_HOLD"] = "CloseChannel=60000"
    started = utc_now()
    run = bed.start(timeout=120)
    assert run.wait_for_comms("Hold"), "the run never reached the end of the transfer: %s" % run.progress()
    run.kill_program()
    run.wait()
    time.sleep(0.2)

    [document] = s.documents()  # delivered before the run ended
    assert [e["EventType"] for e in document["DeviceEvents"]] == ["Installation", "Detection"]
    state = bed.state()
    # Only the detection tracks' mark, written before the transfer; the document's delivery
    # was never recorded.
    assert list(state) == ["GLOBAL"] and list(state["GLOBAL"]) == ["lastTrack"]
    assert state["GLOBAL"]["lastTrack"] >= started.strftime("%Y-%m-%dT%H:%M:%S")

    # The next run sends the detections in a document again (at least once, never lost),
    # but not their tracks, and not the installation, which its marker keeps to one event.
    del bed.run_env["ZENTRAK_COMMS_HOLD"]
    again = bed.run()
    assert again.exit_code == 0 and 21 in again.trace_numbers()
    first, second = s.documents()
    assert second["DeviceEvents"] == first["DeviceEvents"][1:]
    assert detection_ids(s) == ["500", "501"]
    assert bed.state()["GLOBAL"]["lastTrack"] >= state["GLOBAL"]["lastTrack"]
    assert "lastExec" in bed.state()["GLOBAL"] and "EVT1" not in bed.state()
