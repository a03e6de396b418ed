"""Runs that overlap or end abruptly: the lock keeps the job to one copy, and the run
state never holds what was not delivered."""

import random
import time
from datetime import timedelta

import pytest

from suite import detection_ids, documented_ids, report, sdk_fixture, utc_now
from winebed import log_lines, utc_text

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



def state_sections(raw: bytes) -> list:
    """EvtsData.ini's sections as the bytes the profile writer writes for each, in order."""
    sections: list = []
    for line in raw.splitlines(keepends=True):
        if line.startswith(b"[") or not sections:
            sections.append(b"")
        sections[-1] += line
    return sections


@pytest.mark.parametrize("sections_written", [0, 1], ids=["nothing", "the first section"])
def test_a_run_killed_while_the_state_is_written_sends_again_only_what_it_lost(
        bed, suite, sections_written):
    # The profile writer empties the file, then writes it a section at a time, and no
    # stand-in call happens meanwhile to hold the run there: so the file is left as such a
    # kill leaves it, after a run that delivered everything.
    now = utc_now()
    earlier_run = utc_text(now - timedelta(minutes=60))
    reports = [report(0x100003, now - timedelta(minutes=90), 500, 900),  # delivered earlier
               report(0x100003, now - timedelta(minutes=20), 501, 900)]
    s = suite(fixture=sdk_fixture(reports=reports))
    bed.write_state({"GLOBAL": {"lastTrack": earlier_run, "lastExec": earlier_run}})
    first = bed.run()
    assert first.exit_code == 0
    [delivered] = s.documents()
    assert [e["EventType"] for e in delivered["DeviceEvents"]] == ["Installation", "Detection"]
    assert detection_ids(s) == ["501"]
    written = state_sections(bed.state_file.read_bytes())
    assert [section.split(b"\r\n")[0] for section in written] == [b"[GLOBAL]", b"[EVT1]"]
    kept = bed.state()["GLOBAL"]
    assert kept["lastExec"] > earlier_run
    bed.state_file.write_bytes(b"".join(written[:sections_written]))

    again = bed.run()
    assert again.exit_code == 0
    state = bed.state()
    if sections_written == 0:
        # Both marks lost: every detection since the installation goes again, the earlier
        # run's too, in a document and as tracks (never lost); the installation's marker
        # keeps it to one event.
        assert len(s.documents()) == 2
        assert documented_ids(s.documents()[1]) == [500, 501]
        assert detection_ids(s) == ["501", "500", "501"]
        assert state["GLOBAL"]["lastExec"] >= kept["lastExec"]
    else:
        # The marks survived: nothing goes again. Only the installation's record is gone,
        # and its marker stands in for it.
        assert 24 in again.trace_numbers()
        assert len(s.documents()) == 1 and detection_ids(s) == ["501"]
        assert state["GLOBAL"]["lastExec"] == kept["lastExec"]  # no document, so no move
        assert state["GLOBAL"]["lastTrack"] >= kept["lastTrack"]
    assert "EVT1" not in state
    assert (bed.repository / "EvtsInstall.txt").exists()
