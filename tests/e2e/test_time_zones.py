"""Time in every zone: each scenario here runs once per zone of conftest.ZONES. The bed
gives the stand-in SDK its times as a real SDK in that zone does (wall times); every
expected value is worked out here from instants and the zone."""

import re
import time
from datetime import datetime, timedelta, timezone

import pytest

from suite import DEFAULT_CONFIG, MUID, report, sdk_fixture, utc_now
from winebed import SERVICE_HOST_KEY, StepZone, local_wall, ole_date, utc_text, wall_text

SELECTED = 0x100003
MiB = 1024 * 1024
STATE_TIME = "%Y-%m-%dT%H:%M:%S"


def parse_utc(text: str) -> datetime:
    return datetime.strptime(text, STATE_TIME).replace(tzinfo=timezone.utc)


def query(request) -> dict:
    return dict(request["query"])


# Each distance leaves a minute's margin for the time the run takes to start.
@pytest.mark.parametrize("offset, due", [
    (timedelta(hours=-47, minutes=1), True),
    (timedelta(hours=-48), False),
    (timedelta(hours=47), True),
    (timedelta(hours=48, minutes=1), False),
], ids=["1d23h-ago", "2d-ago", "1d23h-ahead", "2d-ahead"])
def test_installation_event_is_due_for_less_than_two_whole_days_in_every_zone(
        bed, suite, zone, offset, due):
    installed = utc_now() + offset
    s = suite(fixture=sdk_fixture(installed=installed))
    result = bed.run()

    assert result.exit_code == 0
    assert 19 in result.trace_numbers()  # the dispatcher ran
    marker = bed.repository / "EvtsInstall.txt"
    if due:
        [document] = s.documents()
        assert document["DeviceEvents"][0]["EventType"] == "Installation"
        # The installation time in UTC, in the marker and in the state file.
        assert marker.read_bytes() == utc_text(installed).encode()
        assert bed.state()["EVT1"] == {"instDateTime": utc_text(installed), "Send": "1"}
    else:
        assert s.documents() == [] and s.tracks("track-campaign") == []
        assert not marker.exists()
        assert "EVT1" not in bed.state()


def test_detections_after_the_last_delivery_are_sent_once_in_every_zone(bed, suite, zone):
    now = utc_now()
    last_delivery = now - timedelta(hours=3)
    after = now - timedelta(hours=2)                   # not delivered yet
    before = now - timedelta(hours=3, minutes=30)      # delivered by the last run
    reports = [report(SELECTED, before, 11, 21), report(SELECTED, after, 12, 22)]
    s = suite(fixture=sdk_fixture(installed=now - timedelta(days=9), reports=reports),
              setup={"DumpJSONs": 1, "DumpJSONsPath": r"C:\Dumps"})
    (bed.drive_c / "Dumps").mkdir(exist_ok=True)
    (bed.drive_c / "Backup").mkdir(exist_ok=True)
    bed.registry({SERVICE_HOST_KEY: {"zentrak_backup": r"C:\Backup"}})
    bed.write_state({"GLOBAL": {"lastExec": utc_text(last_delivery)},
                     "EVT1": {"instDateTime": utc_text(now - timedelta(days=9)), "Send": "1"}})

    started = datetime.now(timezone.utc).replace(microsecond=0)
    result = bed.run()
    ended = datetime.now(timezone.utc)
    assert result.exit_code == 0

    after_local = wall_text(after, zone)
    [track] = s.tracks("track-detections")
    assert (query(track)["DetectionID"], query(track)["DateTime"]) == ("12", after_local)
    [document] = s.documents()
    [event] = document["DeviceEvents"]
    assert event["DetectionsInfo"] == [
        {"DateTime": after_local, "DetectionID": 12, "MalwareID": 22}]
    report_lines = (bed.drive_c / "Dumps" / "Zentrak_Detection.txt").read_bytes().split(b"\r\r\n")
    assert b"Detection datetime: " + after_local.encode() in report_lines
    assert b"Detection Id: 11" not in report_lines

    # "lastExec" (the end of the run's detection query) and the document's time stamp are
    # UTC times within the run.
    last_exec = parse_utc(bed.state()["GLOBAL"]["lastExec"])
    assert started <= last_exec <= ended
    [backup] = [p.name for p in (bed.drive_c / "Backup").iterdir()]
    stamp = re.fullmatch(re.escape(MUID) + r"_(\d{8}_\d{6})(\d{3})", backup)
    assert stamp, backup
    stamped = datetime.strptime(stamp.group(1), "%Y%m%d_%H%M%S").replace(tzinfo=timezone.utc)
    assert started <= stamped <= ended

    # The next run asks from the new "lastExec": nothing is sent twice.
    again = bed.run()
    assert again.exit_code == 0 and 24 in again.trace_numbers()  # no event this time
    assert len(s.tracks("track-detections")) == 1 and len(s.documents()) == 1
    for name in ("Dumps", "Backup"):
        for path in (bed.drive_c / name).iterdir():
            path.unlink()
        (bed.drive_c / name).rmdir()


def test_maximum_age_counts_back_from_local_now_in_every_zone(bed, suite, zone):
    now = utc_now()
    recent = now - timedelta(hours=20)
    old = now - timedelta(hours=30)
    s = suite(fixture=sdk_fixture(installed=now - timedelta(days=9),
                                  reports=[report(SELECTED, old, 1, 2),
                                           report(SELECTED, recent, 3, 4)]),
              config=dict(DEFAULT_CONFIG, ExpirationDays=1))
    started = datetime.now(timezone.utc).replace(microsecond=0)
    result = bed.run()
    ended = datetime.now(timezone.utc) + timedelta(seconds=1)
    assert result.exit_code == 0

    # The date filter runs from local now less one day (on the local clock) to local now.
    [query_line, _] = [line for line in result.sdk_journal if line.get("call") == "Reports.1"]
    window = query_line["date_filter"]
    earliest, latest = ole_date(local_wall(started, zone)), ole_date(local_wall(ended, zone))
    # OLE dates are doubles: the program's and the bed's sums for one second may differ in
    # the last bit (a millisecond is 1.2e-8 days).
    tolerance = 1e-9
    assert earliest - tolerance <= window["end"] <= latest + tolerance
    assert earliest - 1 - tolerance <= window["start"] <= latest - 1 + tolerance
    [document] = s.documents()
    assert [d["DetectionID"] for d in document["DeviceEvents"][0]["DetectionsInfo"]] == [3]
    assert [query(t)["DetectionID"] for t in s.tracks("track-detections")] == ["3"]


def test_vpn_event_is_dated_and_recorded_in_utc_in_every_zone(bed, suite, zone):
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    s = suite(fixture=sdk_fixture(installed=utc_now() - timedelta(days=9), vpn=vpn))
    started = datetime.now(timezone.utc).replace(microsecond=0)
    bed.run()
    ended = datetime.now(timezone.utc)
    [post] = s.vpn_posts()
    sent_at = datetime.strptime(query(post)["s_eventdate"], "%Y-%m-%d %H:%M:%S")
    assert started <= sent_at.replace(tzinfo=timezone.utc) <= ended
    assert bed.state()["VPN_Status"]["VPNEvent100"] == str(sent_at.day)


def wait_past_utc_boundary(minutes: int = 10) -> datetime:
    """The time now, after waiting out the last minutes before 12:00 or 24:00 UTC, when a
    run could start on one side of the hour the zone is chosen by and end on the other."""
    now = utc_now()
    to_boundary = (12 - now.hour % 12) * 3600 - now.minute * 60 - now.second
    if to_boundary <= minutes * 60:
        time.sleep(to_boundary + 5)
        now = utc_now()
    return now


def test_vpn_day_is_the_utc_day_where_the_local_date_differs(bed, suite):
    # A zone whose date is not the UTC date right now: 12 hours behind in the UTC
    # morning, 14 ahead in the UTC afternoon (neither has daylight saving).
    now = wait_past_utc_boundary()
    bed.zone = "Etc/GMT+12" if now.hour < 12 else "Pacific/Kiritimati"
    local_day = local_wall(now, bed.zone).day
    assert local_day != now.day
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    s = suite(fixture=sdk_fixture(installed=now - timedelta(days=9), vpn=vpn))
    # Sent "today" by the local calendar only: the UTC day has no event yet.
    bed.write_state({"VPN_Status": {"VPNEvent100": str(local_day)}})
    result = bed.run()
    assert result.exit_code == 0
    [post] = s.vpn_posts()
    sent_at = datetime.strptime(query(post)["s_eventdate"], "%Y-%m-%d %H:%M:%S")
    assert sent_at.day == now.day != local_day
    assert bed.state()["VPN_Status"]["VPNEvent100"] == str(now.day)


# The window spans a change of the clocks: an hour forward (standard +1 to summer +2) or
# back, between the installation and now. The installation time is converted with the
# offset in force on its own date: with today's offset, the first case would come out
# 48.5 hours away (not due) and the second 47.5 hours (due), in either direction.
@pytest.mark.parametrize("before, after, hours, due", [
    (timedelta(hours=1), timedelta(hours=2), 47.5, True),
    (timedelta(hours=2), timedelta(hours=1), 48.5, False),
], ids=["clocks-forward", "clocks-back"])
def test_installation_window_across_a_change_of_the_clocks(bed, suite, before, after, hours,
                                                           due):
    now = utc_now()
    # The change a day away, on the hour; ahead of now near New Year, so that the whole
    # window lies in one calendar year (the platform keeps one rule for every year).
    ahead = (now - timedelta(hours=50)).year != now.year
    direction = 1 if ahead else -1
    change = (now + direction * timedelta(hours=24)).replace(minute=0, second=0)
    bed.zone = StepZone(change, before, after)
    installed = now + direction * timedelta(hours=hours)
    s = suite(fixture=sdk_fixture(installed=installed))
    result = bed.run()
    assert result.exit_code == 0 and 19 in result.trace_numbers()
    assert len(s.documents()) == (1 if due else 0)
    if due:
        assert bed.state()["EVT1"]["instDateTime"] == utc_text(installed)
