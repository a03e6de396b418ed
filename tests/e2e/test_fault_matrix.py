"""One failure at a time, in the stand-in SDK, the stand-in comms library, the
configuration server and the statistics endpoint: each run ends with its exit code, and
the run state holds nothing that was not delivered."""

import copy
import os
import subprocess
import time
from contextlib import contextmanager
from datetime import timedelta
from pathlib import Path

import pytest

from suite import CONFIG_HOST, STATS_HOST, report, sdk_fixture, utc_now
from winebed import (AGENT_DEFAULTS_KEY, DOTNET_SETUP_KEY, SERVICE_HOST_KEY, SETUP_KEY,
                     UIDS_KEY, Collector, RegValue, log_lines, utc_text)

MiB = 1024 * 1024
END = b"Fin de la ejecucion."
NO_TRACKING = b"Error inicializando el sistema de tracking."
E_FAIL = "0x80004005"
S_FALSE = "0x1"


def fixture(**changes):
    """An installation two hours old, three detections, VPN traffic exhausted."""
    now = utc_now()
    reports = [report(0x100003, now - timedelta(minutes=30 - i), 40 + i, 50) for i in range(3)]
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    f = sdk_fixture(reports=reports, vpn=vpn)
    f.update(changes)
    return f


def seed_state(bed) -> dict:
    """A run state from an earlier run: both channels' marks an hour ago, the installation
    not yet delivered ("Send" 0), both VPN events sent on another day. Every row starts
    from it, so that each value can be compared afterwards."""
    now = utc_now()
    other_day = (now.day + 14) % 28 + 1  # neither today nor tomorrow
    bed.seed = {
        "GLOBAL": {"lastExec": utc_text(now - timedelta(hours=1)),
                   "lastTrack": utc_text(now - timedelta(hours=1))},
        "EVT1": {"instDateTime": "", "Send": "0"},
        "VPN_Status": {"VPNEvent80": str(other_day), "VPNEvent100": str(other_day)},
    }
    bed.write_state(bed.seed)
    return bed.seed


def assert_state_holds_only_what_was_delivered(bed, s):
    """Every value of the state is the seed's, or the record of what its receiver got."""
    seed, state, result = bed.seed, bed.state(), bed.results[-1]
    transferred = 21 in result.trace_numbers()
    events = [e["EventType"] for d in s.documents() for e in d["DeviceEvents"]]

    # Each channel has its mark. "lastExec" moves only with a delivered document, to the
    # value run trace 73 names; it stays when the run's detection query did not finish
    # (run trace 74). "lastTrack" moves only with a track pass that sent every track, to
    # the value tracking trace 39 names.
    now = utc_text(utc_now())
    last_exec, last_track = state["GLOBAL"]["lastExec"], state["GLOBAL"]["lastTrack"]
    by_document = [t["args"][0] for t in result.traces_of("run", 73)]
    if transferred and not result.traces_of("run", 74):
        assert events and by_document == [last_exec], (state, by_document)
        assert seed["GLOBAL"]["lastExec"] < last_exec <= now, state
    else:
        assert last_exec == seed["GLOBAL"]["lastExec"], "lastExec moved with no whole delivery"
    by_tracks = [t["args"][0] for t in result.traces_of("tracking", 39)]
    if by_tracks:
        assert by_tracks == [last_track] and seed["GLOBAL"]["lastTrack"] < last_track <= now
        assert not [line for line in result.comms_journal
                    if line["call"] == "SendTrack" and not line.get("result")], \
            "lastTrack moved although a track failed"
    else:
        assert last_track == seed["GLOBAL"]["lastTrack"], "lastTrack moved with a track missing"

    if state["EVT1"] != seed["EVT1"]:
        assert "Installation" in events and state["EVT1"]["Send"] == "1", state
    else:
        assert not (transferred and "Installation" in events), state

    for key, percent in (("VPNEvent80", "80"), ("VPNEvent100", "100")):
        posts = [p for p in s.vpn_posts() if dict(p["query"])["s_vpntraffic"] == percent]
        if state["VPN_Status"][key] != seed["VPN_Status"][key]:
            [post] = posts
            sent = dict(post["query"])["s_eventdate"]  # "%Y-%m-%d %H:%M:%S", UTC
            assert state["VPN_Status"][key] == str(int(sent[8:10])), state
        else:
            assert posts == [], state


def last_message(result):
    return (log_lines(result.error_log) or log_lines(result.ok_log))[-1:]


def fault(call, hresult=E_FAIL, match=None):
    rule = {"call": call, "hresult": hresult}
    if match is not None:
        rule["match"] = match
    return {"faults": [rule]}


# (name, fixture changes, documents delivered, ends with "Fin de la ejecucion.")
SDK_ROWS = [
    ("initialise-fails", fault("HostEntry.1"), 1, True),
    ("every-create-fails", fault("HostEntry.3"), 0, True),
    ("no-configuration", {"missing_progids": ["Tessel.Configuration"]}, 0, True),
    ("no-license", {"missing_progids": ["Tessel.License"]}, 0, True),
    ("no-reports", {"missing_progids": ["Tessel.Reports"]}, 1, True),
    ("no-extended-action", {"missing_progids": ["Tessel.ExtendedAction"]}, 1, True),
    ("no-date-filter", {"missing_progids": ["Tessel.DateTimeFilterObject"]}, 1, True),
    ("no-list", {"missing_progids": ["Tessel.List"]}, 1, True),
    ("no-string-map", {"missing_progids": ["Tessel.StringMap"]}, 1, True),
    ("no-vpn-object", {"missing_progids": ["VPN_GetTraffic"]}, 1, True),
    ("configuration-fails", fault("Configuration.3"), 1, True),
    ("configuration-s-false", fault("Configuration.3", S_FALSE), 1, True),
    ("license-fails", fault("License.3"), 0, True),
    ("license-s-false", fault("License.3", S_FALSE), 0, True),
    ("products-map-fails", fault("LicenceMap.12", match="Products"), 0, True),
    ("pair-count-fails", fault("LicenceMap.4"), 0, True),
    ("query-fails", fault("Reports.1"), 1, True),
    ("query-s-false", fault("Reports.1", S_FALSE), 1, True),
    ("page-request-fails", fault("Reports.4"), 1, True),
    ("action-refused", fault("ExtendedAction.7"), 1, True),
    ("start-date-refused", fault("DateTimeFilterObject.20", S_FALSE), 1, True),
    ("end-date-refused", fault("DateTimeFilterObject.21"), 1, True),
    ("entry-fails", fault("List.10"), 1, True),
    ("entry-key-fails", fault("EntryMap.12"), 1, True),
    ("date-value-fails", fault("DateValue.20"), 1, True),
    ("report-time-not-a-date-object",
     {"reports": [{"EventId": 0x100003, "ReportDateTime": 5, "DetectionID": 1, "MalwareID": 2}]},
     1, True),
    ("traffic-limit-not-a-number",
     {"vpn": {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
              "TrafficLimit": "lots"}}, 1, True),
    ("list-count-fails", fault("List.4"), 1, True),
    ("list-walk-count-fails", fault("List.5"), 1, True),
    ("page-request-s-false-without-a-list", fault("Reports.4", S_FALSE), 1, True),
    ("licence-key-fails", fault("LicenceMap.10"), 0, True),
    ("licence-value-fails", fault("LicenceMap.11"), 0, True),
    ("muid-not-a-text", {"config": dict(fixture()["config"], **{"0x4009701": 12})}, 1, True),
    # An object expected and a number given raises the COM error while the session is
    # built: the run ends through its catch-all.
    ("reports-object-is-a-number",
     {"faults": [{"call": "HostEntry.3", "match": "Tessel.Reports", "hresult": "0x0",
                  "value": 5}]}, 0, False),
    ("host-entry-not-creatable", {"faults": [{"call": "HostEntry.create"}]}, 0, False),
    # Found by the chaos campaign (seed 2045): an object where a text is read. OLE asks the
    # object for its value, which it has not: the item counts as not read.
    ("configuration-item-is-an-object",
     {"faults": [{"call": "Configuration.3", "match": "0x4009014", "hresult": "0x0",
                  "value": {"A": 1}}]}, 1, True),
    ("traffic-flag-not-a-flag",
     {"vpn": {"TrafficIsUnlimited": "maybe", "TrafficRemaining": {"vt": "i8", "value": 0},
              "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}}, 1, True),
]


@pytest.mark.parametrize("changes, documents, ends", [r[1:] for r in SDK_ROWS],
                         ids=[r[0] for r in SDK_ROWS])
def test_stand_in_sdk_failing_at_one_call(bed, suite, changes, documents, ends):
    s = suite(fixture=fixture(**changes))
    seed_state(bed)
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert (last_message(result) == [END]) == ends
    assert len(s.documents()) == documents
    assert_state_holds_only_what_was_delivered(bed, s)


def test_licence_version_type_that_does_not_convert_ends_the_run_with_nothing_sent(bed, suite):
    products = {"KSUITE": {"VersionType": 3, "Licenses": {
        "AC-1": {"VersionType": "not a number", "ClientID": "C"}}}}
    s = suite(fixture=fixture(products=products))
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert 26 in result.trace_numbers()
    assert s.documents() == [] and bed.state() == {}


# (failing operation, exit code, documents received, "lastExec" moved, "lastTrack"
# moved). Each channel's mark moves with its own delivery only.
COMMS_ROWS = [
    ("GetUtil", -1, 0, False, False),
    ("OpenChannel", 0, 0, False, True),
    ("TransferFile", 0, 0, False, True),
    ("CloseChannel", 0, 1, False, True),  # the library delivered, but did not report it
    ("CreateTrackRequest", 0, 1, True, False),
    ("SetTrackFields", 0, 1, True, False),
    ("BeginParameters", 0, 1, True, False),
    ("AddTrackParameter:2", 0, 1, True, False),
    ("SendTrack", 0, 1, True, False),
    ("SendTrack,TransferFile", 0, 0, False, False),
]


@pytest.mark.parametrize("operation, code, documents, last_exec, last_track", COMMS_ROWS,
                         ids=[r[0] for r in COMMS_ROWS])
def test_stand_in_comms_library_failing_at_one_operation(bed, suite, operation, code, documents,
                                                         last_exec, last_track):
    s = suite(fixture=fixture())
    seed = seed_state(bed)
    bed.run_env["ZENTRAK_COMMS_FAIL"] = operation
    result = bed.run(["/TestMode"])
    assert result.exit_code == code
    if code == -1:
        assert log_lines(result.error_log) == [NO_TRACKING]
    assert len(s.documents()) == documents
    marks = bed.state()["GLOBAL"]
    assert (marks["lastExec"] != seed["GLOBAL"]["lastExec"]) == last_exec
    assert (marks["lastTrack"] != seed["GLOBAL"]["lastTrack"]) == last_track
    if code == 0 and {"OpenChannel", "TransferFile", "CloseChannel"} & set(operation.split(",")):
        assert bed.state()["EVT1"] == seed["EVT1"]  # the installation was not recorded
    assert_state_holds_only_what_was_delivered(bed, s)


def test_missing_comms_library_stops_the_run(bed, suite):
    s = suite(fixture=fixture())
    library = bed.install_dir / "CommsWrapper.dll"
    saved = library.read_bytes()
    library.unlink()
    try:
        result = bed.run(["/TestMode"])
    finally:
        library.write_bytes(saved)
    assert result.exit_code == -1
    assert log_lines(result.error_log) == [NO_TRACKING]
    assert s.documents() == [] and bed.state() == {}


CONFIG_ROWS = ["404", "500", "401", "407,407", "cut", "endless", "close", "refused"]


@pytest.mark.parametrize("answer", CONFIG_ROWS)
def test_configuration_server_failing_leaves_an_empty_configuration(bed, suite, answer):
    s = suite(fixture=fixture())
    seed_state(bed)
    s.config.stop()
    if answer != "refused":
        s.config = Collector(bed.scratch, CONFIG_HOST, serve=s.served,
                             script=["/cfg/events.json=" + answer])
    result = bed.run(["/TestMode"], timeout=90)
    assert result.exit_code == 0
    [document] = s.documents()  # the installation, but no detections: no filters
    assert [e["EventType"] for e in document["DeviceEvents"]] == ["Installation"]
    assert s.tracks("track-detections") == []
    assert_state_holds_only_what_was_delivered(bed, s)


def test_configuration_served_empty_is_not_a_configuration(bed, suite):
    s = suite(fixture=fixture())
    s.serve_config(b"")
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert 26 in result.trace_numbers()
    assert s.documents() == [] and s.tracks() == []


def test_statistics_endpoint_refusing_the_vpn_post_changes_no_state(bed, suite):
    s = suite(fixture=fixture())
    s.stats.stop()
    result = bed.run()
    assert result.exit_code == 0
    assert "VPN_Status" not in bed.state()
    assert len(s.documents()) == 1
    s.stats = Collector(bed.scratch, STATS_HOST)  # for the suite's own stop


def too_long(units):
    """A text one character longer than a buffer of that many units, terminator included."""
    return "x" * units


def unterminated(units):
    """A REG_SZ filling the buffer without its terminator."""
    return RegValue(1, ("y" * units).encode("utf-16-le"))


# (key, value name, stored value, exit code). Every value the run reads from the setup,
# the agent and the service host; a value that does not fit or is of the wrong type
# counts as not read.
REGISTRY_ROWS = [
    ("setup", "Path", 7, -1),
    ("setup", "Path", too_long(260), -1),
    ("setup", "Path", unterminated(260), -1),
    ("setup", "DumpJSONs", "1", 0),
    ("setup", "DumpJSONs", RegValue(3, b"\x01\x00\x00\x00\x00"), 0),
    ("setup", "DumpJSONsPath", too_long(260), 0),
    ("setup", "DumpJSONsPath", 5, 0),
    ("uids", "InstUID", too_long(260), 0),
    ("uids", "InstUID", unterminated(260), 0),
    ("uids", "InstUID", 9, 0),
    ("uids", "MUID", too_long(130), 0),
    ("setup", "MainProductID", "1200", 0),
    ("setup", "VersionType", RegValue(3, b"\x01\x02\x03\x04\x05"), 0),
    ("setup", "CustomID", too_long(130), 0),
    ("setup", "CustomID", 5, 0),
    ("host", "zentrak_backup", too_long(513), 0),
    ("host", "zentrak_backup", 3, 0),
    ("agent", "Hostname", too_long(130), 0),
    ("agent", "Hostname", "123456789", 0),
    ("agent", "Hostname", 77, 0),
]
KEYS = {"setup": SETUP_KEY, "uids": UIDS_KEY, "host": SERVICE_HOST_KEY,
        "agent": AGENT_DEFAULTS_KEY}


def previous_track(s) -> dict:
    [track] = [t for t in s.tracks("track-campaign") if dict(t["query"])["event_type"] == "unins_prev"]
    return dict(track["query"])


def no_inst_uid(bed, s, result):
    events = [e for d in s.documents() for e in d["DeviceEvents"]]
    assert events and all("InstUID" not in e for e in events)
    assert s.tracks() and all("InstUID" not in dict(t["query"]) for t in s.tracks())
    # The track reports of the dump: an uninstallation run writes at least these two, and
    # no report has the "Installation MUID: " line.
    reports = {p.name: p.read_bytes() for p in (bed.drive_c / "Dumps").glob("Zentrak_*.txt")}
    assert {"Zentrak_Uninstall.txt", "Zentrak_PrevUninstall.txt"} <= set(reports), reports
    assert all(b"Installation MUID" not in text for text in reports.values()), reports


def dump_at_the_root_of_the_current_drive(bed, s, result):
    # Dump on, but no readable folder: the copy and the reports go to the root of C:.
    dump = bed.drive_c / "ZentrakDump.json"
    assert dump.read_bytes().startswith(b'{"DeviceEvents":[')
    assert (bed.drive_c / "Zentrak_Uninstall.txt").exists()


def no_dump(bed, s, result):
    assert s.documents()  # there was something to dump
    assert list((bed.drive_c / "Dumps").iterdir()) == []
    assert not (bed.drive_c / "ZentrakDump.json").exists()


def previous_field(name, expected):
    def check(bed, s, result):
        assert previous_track(s)[name] == expected
    return check


def empty_agent_host_name(bed, s, result):
    [channel] = [line for line in result.comms_journal if line["call"] == "OpenChannel"]
    assert channel["host_name"] == ""


def stopped_without_sdk(bed, s, result):
    assert log_lines(result.error_log) == [b"Error obteniendo instancia de la TESSEL."]
    assert 13 in result.trace_numbers()


def backup_value_not_read(bed, s, result):
    assert result.traces_of("run", 49) and not result.traces_of("run", 23)


def backup_folder_of_another_type(bed, s, result):
    # Any value type is read as text: a number's bytes make no local path, so no copy is
    # tried (run trace 75 names the refused folder, trace 23 would be the copy).
    assert [t["args"] for t in result.traces_of("run", 50)] == [["True"]]
    assert len(result.traces_of("run", 75)) == 1 and not result.traces_of("run", 23)


# What each row's value being unreadable shows, and what the row adds so that the run
# reads the value at all (setup values, and the run's working folder).
ROW_EFFECTS = {
    ("setup", "Path"): (stopped_without_sdk, {}),
    ("setup", "DumpJSONs"): (no_dump, {"DumpJSONsPath": r"C:\Dumps"}),
    ("setup", "DumpJSONsPath"): (dump_at_the_root_of_the_current_drive, {"DumpJSONs": 1}),
    ("uids", "InstUID"): (no_inst_uid, {"DumpJSONs": 1, "DumpJSONsPath": r"C:\Dumps"}),
    ("uids", "MUID"): (previous_field("machine_id", ""), {}),
    ("setup", "MainProductID"): (previous_field("product_code", ""), {}),
    ("setup", "VersionType"): (previous_field("product_type", ""), {}),
    ("setup", "CustomID"): (previous_field("custom_id", ""), {}),
    ("host", "zentrak_backup"): (None, {}),
    ("agent", "Hostname"): (empty_agent_host_name, {}),
}


@pytest.mark.parametrize("key, name, value, code", REGISTRY_ROWS,
                         ids=["%s-%s-%d" % (r[0], r[1], i) for i, r in enumerate(REGISTRY_ROWS)])
def test_registry_value_missing_of_the_wrong_type_or_too_long(bed, suite, key, name, value, code):
    effect, setup = ROW_EFFECTS[(key, name)]
    if (key, name) == ("host", "zentrak_backup"):
        effect = backup_value_not_read if isinstance(value, str) else backup_folder_of_another_type
    values = {"MainProductID": 1200, "CustomID": "5"}
    values.update(setup)
    s = suite(fixture=fixture(), setup=values)
    seed_state(bed)
    bed.registry({KEYS[key]: {name: value}})
    (bed.drive_c / "Dumps").mkdir(exist_ok=True)
    workdir = bed.drive_c / "work"  # the current drive is C:, for a dump to its root
    workdir.mkdir(exist_ok=True)
    result = bed.run(["/TestMode", "/UNINSTALL"] if key in ("setup", "uids") else ["/TestMode"],
                     workdir=workdir)
    assert result.exit_code == code
    if code == 0:
        assert last_message(result) == [END]
        assert len(s.documents()) == 1
    effect(bed, s, result)
    assert_state_holds_only_what_was_delivered(bed, s)


def test_document_file_that_cannot_be_created_is_not_transferred(bed, suite):
    f = fixture()
    f["config"]["0x4009701"] = "M" * 300  # the MUID prefix makes the name too long
    s = suite(fixture=f)
    seed = seed_state(bed)
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert s.documents() == []
    assert bed.state()["EVT1"] == seed["EVT1"]
    # Not written whole, so not handed to the comms library at all.
    assert result.traces_of("run", 72) and not result.traces_of("run", 22)
    assert [line for line in result.comms_journal if line["call"] == "TransferFile"] == []
    assert_state_holds_only_what_was_delivered(bed, s)


def test_missing_dump_and_backup_folders_lose_only_the_copies(bed, suite):
    s = suite(fixture=fixture(), setup={"DumpJSONs": 1, "DumpJSONsPath": r"C:\NoSuchDumps"})
    bed.registry({SERVICE_HOST_KEY: {"zentrak_backup": r"C:\NoSuchBackup"}})
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert last_message(result) == [END]
    assert len(s.documents()) == 1
    assert not [p for p in bed.repository.iterdir() if p.name.startswith("MUID-0001_")]
    assert not (bed.drive_c / "NoSuchDumps").exists()


NDP = DOTNET_SETUP_KEY + r"\NDP"
NDP4_FULL = NDP + r"\v4\Full"
NDP4_CLIENT = NDP + r"\v4\Client"
# As the framework installers leave it: 3.5 with its own "Install", 4 through "Client".
DOTNET_SETUP = {NDP + r"\v3.5": {"Install": 1, "Version": "3.5.30729.4926"},
                NDP4_CLIENT: {"Install": 1, "Version": "4.8.04084"},
                NDP4_FULL: {"Install": 1, "Version": "4.8.04084", "Release": 528040}}
# (name, changes to DOTNET_SETUP or None for no setup key, "NetVersionInstalled",
# "NetFrameworkRealVersion"). "Version" is read into 260 bytes, "Release" into 4 bytes
# whatever its type; a value that does not fit is not read.
DOTNET_ROWS = [
    ("as-installed", {}, "4.8.04084", "528040"),
    ("no-setup-key", None, "", "0"),
    ("version-fills-its-buffer", {NDP4_CLIENT: {"Version": "4." + "9" * 127}},
     "4." + "9" * 127, "528040"),
    ("version-one-character-too-long", {NDP4_CLIENT: {"Version": too_long(130)}},
     "3.5.30729.4926", "528040"),
    ("version-unterminated", {NDP4_CLIENT: {"Version": unterminated(130)}},
     "3.5.30729.4926", "528040"),
    ("version-not-a-text", {NDP4_CLIENT: {"Version": 48}}, "3.5.30729.4926", "528040"),
    ("client-not-installed", {NDP4_CLIENT: {"Install": 0}}, "3.5.30729.4926", "528040"),
    ("install-missing-everywhere", {NDP + r"\v3.5": {"Install": None},
                                    NDP4_CLIENT: {"Install": None}}, "", "528040"),
    # A REG_SZ "1" is read as the number 0x31: not installed.
    ("install-as-text", {NDP + r"\v3.5": {"Install": "1"}}, "4.8.04084", "528040"),
    ("release-missing", {NDP4_FULL: {"Release": None}}, "4.8.04084", "0"),
    ("release-one-byte-too-long", {NDP4_FULL: {"Release": RegValue(3, bytes(5))}},
     "4.8.04084", "0"),
    ("release-as-qword", {NDP4_FULL: {"Release": RegValue(11, (528040).to_bytes(8, "little"))}},
     "4.8.04084", "0"),
    ("release-as-binary", {NDP4_FULL: {"Release": RegValue(3, (533320).to_bytes(4, "little"))}},
     "4.8.04084", "533320"),
]


@pytest.mark.parametrize("changes, version, release", [r[1:] for r in DOTNET_ROWS],
                         ids=[r[0] for r in DOTNET_ROWS])
def test_dotnet_setup_values_reach_the_installation_event_or_count_as_absent(
        bed, suite, changes, version, release):
    s = suite(fixture=fixture())
    seed_state(bed)
    if changes is not None:
        values = copy.deepcopy(DOTNET_SETUP)
        for key, named in changes.items():
            values.setdefault(key, {}).update(named)
        bed.registry(values)
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert last_message(result) == [END]
    [document] = s.documents()
    os_info = document["DeviceEvents"][0]["OSInfo"]
    assert (os_info["NetVersionInstalled"], os_info["NetFrameworkRealVersion"]) == (version,
                                                                                     release)
    assert_state_holds_only_what_was_delivered(bed, s)


@contextmanager
def read_only(folder: Path):
    """Makes a folder and everything in it unwritable. Root ignores permission bits, so
    as root the immutable attribute stands in for them."""
    paths = [folder, *folder.rglob("*")]
    if os.geteuid() != 0:
        modes = {p: p.stat().st_mode for p in paths}
        for p in paths:
            p.chmod(modes[p] & ~0o222)
        try:
            yield
        finally:
            for p in paths:
                p.chmod(modes[p])
        return
    names = [str(p) for p in paths]
    refused = subprocess.run(["chattr", "+i", *names], capture_output=True, text=True)
    try:
        # Not a skip: without a read-only folder the scenario proves nothing.
        assert refused.returncode == 0, \
            "the file system refuses the immutable attribute: %s" % refused.stderr
        yield
    finally:
        subprocess.run(["chattr", "-i", *names], capture_output=True, check=False)


def test_read_only_repository_delivers_no_document_and_keeps_the_run_state(bed, suite):
    s = suite(fixture=fixture())
    assert bed.run(["/TestMode"]).exit_code == 0
    delivered = bed.state()
    assert delivered["EVT1"]["Send"] == "1" and "lastExec" in delivered["GLOBAL"]
    assert len(s.documents()) == 1

    # Two detections after the last delivery, found while the folder is read-only.
    time.sleep(1.5)
    now = utc_now()
    later = [report(0x100003, now - timedelta(seconds=1), 70 + i, 80) for i in range(2)]
    bed.set_fixture(fixture(reports=later))
    state_bytes = bed.state_file.read_bytes()
    listing = sorted(p.name for p in bed.repository.iterdir())
    tracked = len(s.tracks("track-detections"))
    with read_only(bed.repository):
        result = bed.run(["/TestMode"])
        assert sorted(p.name for p in bed.repository.iterdir()) == listing
    assert result.exit_code == 0
    assert log_lines(result.error_log) == [END]  # the error log keeps only its last line
    assert result.traces_of("run", 72)  # the document could not be written
    assert [line for line in result.comms_journal if line["call"] == "TransferFile"] == []
    assert len(s.documents()) == 1  # only the first run's
    # The tracks went out, but "lastTrack" could not record them: they go again.
    assert len(s.tracks("track-detections")) == tracked + 2
    assert bed.state_file.read_bytes() == state_bytes

    # Writable again: the same detections are still due and are delivered.
    again = bed.run(["/TestMode"])
    assert again.exit_code == 0
    [_, document] = s.documents()
    [event] = document["DeviceEvents"]
    assert [d["DetectionID"] for d in event["DetectionsInfo"]] == [70, 71]
    assert len(s.tracks("track-detections")) == tracked + 4
    assert bed.state()["GLOBAL"]["lastExec"] > delivered["GLOBAL"]["lastExec"]
