"""Runs that send every kind of event: what each kind of track, document and track report
carries, in order, with an InstUID; the previous installation's setup values; the proxy
on its way to the comms library; and nothing on the console."""

from datetime import timedelta

from suite import CUSTOM_ID, MUID, PRODUCT_CODE, PRODUCT_TYPE, SUITE_VERSION, report, \
    sdk_fixture, utc_now
from winebed import UIDS_KEY, Collector

INST_UID = "IU-42"
FILE_VERSION = "1.0.0.1"  # the program's VERSIONINFO "FileVersion"
SELECTED = 0x100003


def ordered(track) -> list:
    """The track's query pairs in the order they were sent."""
    return [tuple(pair) for pair in track["query"]]


def fields(kind, muid=MUID, custom=CUSTOM_ID, product=PRODUCT_CODE, version=SUITE_VERSION,
           product_type=PRODUCT_TYPE) -> list:
    return [("product_code", str(product)), ("suite_version", version),
            ("product_type", str(product_type)), ("machine_id", muid),
            ("custom_id", str(custom)), ("event_type", kind)]


def report_lines(path) -> list:
    return path.read_bytes().split(b"\r\r\n")


def test_every_kind_of_event_carries_its_fields_parameters_and_reports(bed, suite):
    now = utc_now()
    reports = [report(SELECTED, now - timedelta(minutes=30, seconds=-i), 500 + i, 900 + i)
               for i in range(12)]
    s = suite(fixture=sdk_fixture(installed=now - timedelta(hours=2), reports=reports),
              setup={"DumpJSONs": 1, "DumpJSONsPath": r"C:\Dumps",
                     "MainProductID": 1300, "VersionType": 4, "CustomID": "77abc"})
    bed.registry({UIDS_KEY: {"InstUID": INST_UID, "MUID": "MUID-OLD"}})
    dumps = bed.drive_c / "Dumps"
    dumps.mkdir(exist_ok=True)

    first = bed.run()
    assert first.exit_code == 0
    assert first.stdout == b"" and first.stderr == b""  # nothing on the console

    installation, detection = s.documents()[0]["DeviceEvents"]
    assert installation["InstUID"] == INST_UID
    assert list(installation)[-2:] == ["InstUID", "Products"]
    assert list(detection) == ["EventType", "MUID", "InstUID", "DetectionsInfo"]
    assert detection["InstUID"] == INST_UID
    assert len(detection["DetectionsInfo"]) == 11

    [install] = s.tracks("track-campaign")
    assert ordered(install) == fields("install") + [
        ("InstUID", INST_UID), ("File_Version", FILE_VERSION), ("ProductID", str(PRODUCT_CODE))]
    detections = s.tracks("track-detections")
    assert len(detections) == 10  # at most ten a run
    assert ordered(detections[0]) == fields("detection") + [
        ("ProductID", str(PRODUCT_CODE)), ("InstUID", INST_UID), ("File_Version", FILE_VERSION),
        ("DetectionID", "500"), ("MalwareID", "900"),
        ("DateTime", (now - timedelta(minutes=30)).strftime("%Y-%m-%dT%H:%M:%S"))]

    assert report_lines(dumps / "Zentrak_Install.txt") == [
        b"EventType: install", b"CustomId: %d" % CUSTOM_ID, b"DeviceId: " + MUID.encode(),
        b"ProductCode: %d" % PRODUCT_CODE, b"Product Version: " + SUITE_VERSION.encode(),
        b"Product Type: %d" % PRODUCT_TYPE, b"Installation MUID: " + INST_UID.encode(),
        b"Track OK", b""]
    detection_report = report_lines(dumps / "Zentrak_Detection.txt")
    assert detection_report[:8] == [
        b"EventType: detection", b"CustomId: %d" % CUSTOM_ID, b"DeviceId: " + MUID.encode(),
        b"ProductCode: %d" % PRODUCT_CODE, b"Product Version: " + SUITE_VERSION.encode(),
        b"Product Type: %d" % PRODUCT_TYPE, b"Installation MUID: " + INST_UID.encode(),
        b"Track OK"]
    ids = [line for line in detection_report if line.startswith(b"Detection Id: ")]
    assert ids == [b"Detection Id: %d" % (500 + i) for i in range(10)]

    # The removal: the previous installation's track from the setup values, then the
    # uninstallation event.
    second = bed.run(["/UNINSTALL"])
    assert second.exit_code == 0
    assert second.stdout == b"" and second.stderr == b""
    previous, uninstall = s.tracks("track-campaign")[1:]
    assert ordered(previous) == [
        ("product_code", "1300"), ("suite_version", ""), ("product_type", "4"),
        ("machine_id", "MUID-OLD"), ("custom_id", "77"), ("event_type", "unins_prev"),
        ("InstUID", INST_UID), ("ProductID", "1300")]
    assert ordered(uninstall) == fields("unins") + [
        ("InstUID", INST_UID), ("File_Version", FILE_VERSION), ("ProductID", str(PRODUCT_CODE))]
    [removal] = s.documents()[1]["DeviceEvents"]
    assert removal["EventType"] == "Uninstallation" and removal["InstUID"] == INST_UID
    assert report_lines(dumps / "Zentrak_PrevUninstall.txt") == [
        b"EventType: unins_prev", b"CustomId: 0", b"DeviceId: MUID-OLD", b"ProductCode: 0",
        b"Product Version: ", b"Product Type: 0", b"Installation MUID: " + INST_UID.encode(),
        b"Track OK", b""]
    assert report_lines(dumps / "Zentrak_Uninstall.txt") == [
        b"EventType: unins", b"CustomId: %d" % CUSTOM_ID, b"DeviceId: " + MUID.encode(),
        b"ProductCode: %d" % PRODUCT_CODE, b"Product Version: " + SUITE_VERSION.encode(),
        b"Product Type: %d" % PRODUCT_TYPE, b"Installation MUID: " + INST_UID.encode(),
        b"Track OK", b""]


def test_proxy_reaches_the_channel_without_empty_credentials_and_every_track(bed, suite):
    fixture = sdk_fixture(installed=utc_now() - timedelta(hours=2))
    fixture["config"].update({"0x4009014": "127.0.0.15:8080", "0x4009012": "",
                              "0x4009013": ""})
    s = suite(fixture=fixture)
    proxy = Collector(bed.scratch, "127.0.0.15", 8080, proxy=True)
    try:
        result = bed.run()
    finally:
        proxy.stop()
    assert result.exit_code == 0
    [set_proxy] = [line for line in result.comms_journal if line["call"] == "SetProxy"]
    # The record's size: the 32-bit layout, or the x86-64 test build's natural one.
    size = {"x86": 16, "x64": 32}[bed.arch]
    # The channel's record: the server, and no user or password when they are empty.
    assert set_proxy["proxy"] == {"size": size, "server": "127.0.0.15:8080", "user": None,
                                  "password": None}
    # The tracker's record points at the run's texts, empty ones included.
    sends = [line for line in result.comms_journal if line["call"] == "SendTrack"]
    assert sends and all(line["proxy"] == {"size": size, "server": "127.0.0.15:8080", "user": "",
                                           "password": ""} for line in sends)
    assert len(s.documents()) == 1


def test_without_a_proxy_server_nothing_is_handed_to_the_channel(bed, suite):
    fixture = sdk_fixture(installed=utc_now() - timedelta(hours=2))
    fixture["config"].update({"0x4009014": "", "0x4009012": "user", "0x4009013": "secret"})
    s = suite(fixture=fixture)
    result = bed.run()
    assert result.exit_code == 0
    calls = [line["call"] for line in result.comms_journal]
    assert "TransferFile" in calls and "SetProxy" not in calls
    sends = [line for line in result.comms_journal if line["call"] == "SendTrack"]
    assert sends and all(line["proxy"] is None for line in sends)
    assert len(s.documents()) == 1
