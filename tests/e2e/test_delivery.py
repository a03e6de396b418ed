"""Nothing lost between runs: each channel (the document, the detection tracks) keeps its
own mark at the end of the query whose results it delivered; a quiet spell never stops
detection reporting; the installation marker follows the event; an uninstallation waits
for a running copy; a document is delivered whole or not at all; a reinstallation is
reported. Each case takes the runs it needs, with the stand-ins' journals as evidence."""

import errno
import os
import subprocess
from contextlib import contextmanager
from datetime import timedelta
from pathlib import Path

from suite import DEFAULT_CONFIG, detection_ids, documented_ids, report, sdk_fixture, utc_now
from winebed import local_wall, log_lines, ole_date, utc_text

SELECTED = 0x100003
END = b"Fin de la ejecucion."


def calls(result, name) -> list:
    return [line for line in result.comms_journal if line["call"] == name]


def test_tracks_delivered_without_their_document_leave_the_document_its_detections(bed, suite):
    now = utc_now()
    s = suite(fixture=sdk_fixture(installed=now - timedelta(days=5),
                                  reports=[report(SELECTED, now - timedelta(minutes=30), 31, 41),
                                           report(SELECTED, now - timedelta(minutes=20), 32, 42)]))
    bed.run_env["ZENTRAK_COMMS_FAIL"] = "TransferFile"
    first = bed.run()
    assert first.exit_code == 0 and first.traces_of("run", 22)  # the transfer failed
    assert detection_ids(s) == ["31", "32"] and s.documents() == []
    assert "lastExec" not in bed.state()["GLOBAL"] and bed.state()["GLOBAL"]["lastTrack"]

    del bed.run_env["ZENTRAK_COMMS_FAIL"]
    second = bed.run()
    assert second.exit_code == 0
    [document] = s.documents()  # the detections the failed transfer did not deliver
    assert documented_ids(document) == [31, 32]
    assert detection_ids(s) == ["31", "32"]  # no track twice


def test_a_document_delivered_without_its_tracks_leaves_the_tracks_their_detections(bed, suite):
    # A state file from before the tracks had a mark of their own: they start from
    # "lastExec", and keep that start when they fail.
    now = utc_now()
    last_delivery = utc_text(now - timedelta(hours=1))
    bed.write_state({"GLOBAL": {"lastExec": last_delivery}})
    s = suite(fixture=sdk_fixture(installed=now - timedelta(days=5),
                                  reports=[report(SELECTED, now - timedelta(minutes=30), 51, 61),
                                           report(SELECTED, now - timedelta(minutes=20), 52, 62)]))
    bed.run_env["ZENTRAK_COMMS_FAIL"] = "SendTrack"
    first = bed.run()
    assert first.exit_code == 0 and first.traces_of("run", 21)  # the transfer succeeded
    [document] = s.documents()
    assert documented_ids(document) == [51, 52] and detection_ids(s) == []
    assert bed.state()["GLOBAL"]["lastTrack"] == last_delivery
    assert bed.state()["GLOBAL"]["lastExec"] > last_delivery

    del bed.run_env["ZENTRAK_COMMS_FAIL"]
    second = bed.run()
    assert second.exit_code == 0
    assert detection_ids(s) == ["51", "52"]  # the tracks the first run could not send
    assert len(s.documents()) == 1 and 24 in second.trace_numbers()  # no document twice


def test_a_detection_reported_while_a_run_works_is_in_the_next_run(bed, suite):
    # The SDK leaves reports made after a query out of it. One detection is reported after
    # the run's queries and before its deliveries, which a slow track (held 15 s) keeps
    # apart: the marks are the queries' end, so the next run finds it.
    start = utc_now()
    late = start + timedelta(seconds=8)
    s = suite(fixture=sdk_fixture(installed=start - timedelta(days=5), filter_by_date=True,
                                  reports=[report(SELECTED, start - timedelta(minutes=10), 71, 81),
                                           report(SELECTED, late, 72, 82)]))
    bed.run_env["ZENTRAK_COMMS_HOLD"] = "SendTrack:1=15000"
    first = bed.run(timeout=90)
    assert first.exit_code == 0
    # The queries ended before the late report and the delivery came after it; otherwise
    # this machine was too slow for the case to show anything.
    late_local = ole_date(local_wall(late, bed.zone))
    query_ends = [line["date_filter"]["end"] for line in first.sdk_journal
                  if line.get("call") == "Reports.1"]
    assert len(query_ends) == 2 and max(query_ends) < late_local, (query_ends, late_local)
    [transfer] = calls(first, "TransferFile")
    assert detection_ids(s) == ["71"] and documented_ids(s.documents()[0]) == [71]
    assert bed.state()["GLOBAL"]["lastExec"] < utc_text(late)
    assert bed.state()["GLOBAL"]["lastTrack"] < utc_text(late)

    del bed.run_env["ZENTRAK_COMMS_HOLD"]
    second = bed.run()
    assert second.exit_code == 0
    assert transfer["result"] is True
    assert detection_ids(s) == ["71", "72"]
    assert documented_ids(s.documents()[1]) == [72]


def test_a_quiet_spell_without_a_maximum_age_does_not_stop_detection_reporting(bed, suite):
    # No "ExpirationDays": a maximum age of 0 days, which counts as one. Two quiet days
    # since the last delivery, then a detection an hour old.
    now = utc_now()
    two_days_ago = utc_text(now - timedelta(days=2))
    bed.write_state({"GLOBAL": {"lastExec": two_days_ago, "lastTrack": two_days_ago}})
    config = {k: v for k, v in DEFAULT_CONFIG.items() if k != "ExpirationDays"}
    s = suite(fixture=sdk_fixture(installed=now - timedelta(days=9),
                                  reports=[report(SELECTED, now - timedelta(hours=1), 91, 92)]),
              config=config)
    result = bed.run()
    assert result.exit_code == 0
    assert detection_ids(s) == ["91"]
    [document] = s.documents()
    assert documented_ids(document) == [91]
    # Both queries reached back one day, not to now.
    now_local = ole_date(local_wall(now, bed.zone))
    starts = [line["date_filter"]["start"] for line in result.sdk_journal
              if line.get("call") == "Reports.1"]
    tolerance = 1e-9  # the last bit of an OLE date
    assert len(starts) == 2
    assert all(now_local - 1.0 - tolerance <= start < now_local - 0.99 for start in starts), starts


def test_an_installation_whose_facts_could_not_be_read_is_reported_by_a_later_run(bed, suite):
    installed = utc_now() - timedelta(hours=2)
    s = suite(fixture=sdk_fixture(installed=installed,
                                  faults=[{"call": "License.3", "hresult": "0x80004005"}]))
    first = bed.run(["/TestMode"])
    assert first.exit_code == 0
    [window] = first.traces_of("tracking", 14)
    assert window["args"][3:] == [0, 1]  # no marker, due
    assert first.traces_of("tracking", 16)  # but the facts could not be read
    assert s.documents() == [] and not (bed.repository / "EvtsInstall.txt").exists()

    bed.set_fixture(sdk_fixture(installed=installed))
    second = bed.run(["/TestMode"])
    assert second.exit_code == 0
    [document] = s.documents()
    assert [e["EventType"] for e in document["DeviceEvents"]] == ["Installation"]
    assert (bed.repository / "EvtsInstall.txt").read_bytes() == utc_text(installed).encode()

    third = bed.run(["/TestMode"])
    assert third.exit_code == 0 and 24 in third.trace_numbers()
    assert len(s.documents()) == 1  # once


def test_an_uninstallation_waits_for_a_run_that_holds_the_lock(bed, suite):
    s = suite()
    bed.service_stop()  # as the uninstaller does; a scheduled run waits for the service
    scheduled = bed.start(["/TestMode"], timeout=240)
    assert scheduled.wait_for_trace("run", 57), "the scheduled run never started waiting"
    uninstall = bed.start(["/TestMode", "/UNINSTALL"], timeout=240)
    assert uninstall.wait_for_trace("run", 70), "the uninstallation did not wait for the lock"
    assert uninstall.process.poll() is None and scheduled.process.poll() is None

    bed.service_start()
    first, second = scheduled.wait(timeout=120), uninstall.wait(timeout=120)
    assert (first.exit_code, second.exit_code) == (0, 0)
    assert second.traces_of("run", 71) and not second.traces_of("run", 11)
    assert log_lines(second.error_log) == [END] or log_lines(second.ok_log)[-1:] == [END]
    kinds = [[e["EventType"] for e in d["DeviceEvents"]] for d in s.documents()]
    assert kinds == [["Installation"], ["Uninstallation"]]
    events = [dict(t["query"])["event_type"] for t in s.tracks("track-campaign")]
    assert events == ["install", "unins_prev", "unins"]


def test_a_reinstallation_within_its_window_is_reported(bed, suite):
    now = utc_now()
    s = suite(fixture=sdk_fixture(installed=now - timedelta(hours=3)))
    assert bed.run().exit_code == 0
    removal = bed.run(["/UNINSTALL"])
    assert removal.exit_code == 0
    removed_state = bed.state()

    reinstalled = now - timedelta(hours=1)
    bed.set_fixture(sdk_fixture(installed=reinstalled))
    again = bed.run()
    assert again.exit_code == 0
    kinds = [[e["EventType"] for e in d["DeviceEvents"]] for d in s.documents()]
    assert kinds == [["Installation"], ["Uninstallation"], ["Installation"]]
    assert bed.state()["EVT1"]["instDateTime"] == utc_text(reinstalled)
    # The uninstallation emptied "instDateTime" (the key stays: keys are never removed).
    assert removed_state["EVT1"] == {"instDateTime": "", "Send": "1"}
    assert removal.traces_of("tracking", 52)


@contextmanager
def small_file_system(folder: Path):
    """A 1 MiB file system mounted on the folder (in the lane's own mount namespace where
    the scenario runs in one), removed afterwards: what was in the folder is hidden
    meanwhile."""
    folder.mkdir(parents=True, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "zentrak-full", str(folder)],
                   check=True, capture_output=True)
    try:
        yield
    finally:
        subprocess.run(["umount", "-l", str(folder)], check=False, capture_output=True)


def fill(path: Path) -> None:
    """Writes to the file until the file system has no room left."""
    with open(path, "wb", buffering=0) as filler:
        try:
            while True:
                filler.write(b"\0" * 4096)
        except OSError as error:
            assert error.errno == errno.ENOSPC, error


def test_a_document_that_cannot_be_written_whole_is_neither_delivered_nor_recorded(bed, suite):
    assert os.geteuid() == 0, "the full disk is a small file system mounted for the scenario"
    now = utc_now()
    # Mounted on ProgramData: a mount point reads as a link, which the program refuses
    # for its own folders, not for ProgramData.
    with small_file_system(bed.drive_c / "ProgramData"):
        s = suite(fixture=sdk_fixture(installed=now - timedelta(hours=2)))
        assert bed.run().exit_code == 0  # the installation, delivered
        before = bed.state()
        later = [report(SELECTED, utc_now() + timedelta(seconds=1), 101 + i, 111) for i in range(2)]
        bed.set_fixture(sdk_fixture(installed=now - timedelta(hours=2), reports=later))
        filler = bed.repository / "filler"
        fill(filler)

        full = bed.run(["/TestMode"])
        assert full.exit_code == 0
        # The error line moved the log to the error file, which keeps only its last line.
        assert full.ok_log is None and log_lines(full.error_log) == [END]
        assert full.traces_of("run", 72) and not full.traces_of("run", 21)
        assert calls(full, "TransferFile") == [] and len(s.documents()) == 1
        # The tracks went out and may have moved their mark; nothing of the document moved.
        assert detection_ids(s) == ["101", "102"]
        state = bed.state()
        assert (state["GLOBAL"]["lastExec"], state["EVT1"]) == (before["GLOBAL"]["lastExec"],
                                                                before["EVT1"])
        assert sorted(p.name for p in bed.repository.iterdir()) == sorted(
            ["EvtsData.ini", "EvtsInstall.txt", "events.json", "filler"])

        filler.unlink()
        again = bed.run(["/TestMode"])
        assert again.exit_code == 0 and again.traces_of("run", 21)
        assert documented_ids(s.documents()[1]) == [101, 102]
        assert bed.state()["GLOBAL"]["lastExec"] > utc_text(now)
