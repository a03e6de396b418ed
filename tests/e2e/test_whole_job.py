"""The whole job against the stand-in suite: what the collectors received, what the
comms library was handed, and what the run remembered in EvtsData.ini."""

import shutil
from datetime import datetime, timedelta, timezone

from suite import (CUSTOM_ID, DEFAULT_CONFIG, MUID, PRODUCT_CODE, PRODUCT_TYPE, SUITE_VERSION,
                   report, sdk_fixture, utc_now)
from winebed import SERVICE_HOST_KEY, Collector, log_lines, utc_text

INSTALLATION_MEMBERS = ["EventType", "MUID", "OSInfo", "SuiteID", "SuiteVersion",
                        "SuiteVersionNumber", "Country", "Language", "CustomID", "Products"]
OS_MEMBERS = ["Platform", "OSMajorVer", "OSMinorVer", "SPMajorVer", "SPMinorVer", "OSType",
              "OSx64", "NetVersionInstalled", "NetFrameworkRealVersion", "W10BuildNumber"]

MiB = 1024 * 1024


def query(request) -> dict:
    return dict(request["query"])


def detections(count, start=None):
    start = start or utc_now() - timedelta(minutes=30)
    return [report(0x100003, start + timedelta(seconds=i), 500 + i, 900 + i) for i in range(count)]


def test_first_run_delivers_the_installation_event_and_remembers_it(bed, suite):
    installed = utc_now() - timedelta(hours=2)
    s = suite(fixture=sdk_fixture(installed=installed))
    started = utc_now().replace(microsecond=0)  # the state file keeps whole seconds
    result = bed.run(["/TestMode"])
    ended = utc_now() + timedelta(seconds=1)

    assert result.exit_code == 0
    assert log_lines(result.ok_log) == [b"Obtenida la instancia del TESSEL.",
                                        b"Enviado el track de instalacion.",
                                        b"JSON transferido.", b"Fin de la ejecucion."]
    [document] = s.documents()
    [event] = document["DeviceEvents"]
    assert list(event) == INSTALLATION_MEMBERS
    assert list(event["OSInfo"]) == OS_MEMBERS
    assert event["EventType"] == "Installation" and event["MUID"] == MUID
    assert event["SuiteVersionNumber"] == "1804000000"
    assert [p["ProductID"] for p in event["Products"]] == ["KSUITE", "KVPN"]
    assert event["Products"][1]["Licenses"] == [{
        "ActivationCode": "AC-222", "ActivationDate": "2019-01-02", "LicenseVersionType": "1",
        "ProductLicenseID": "KVPN", "ClientID": "C-2"}]

    [track] = s.tracks("track-campaign")
    fields = query(track)
    assert fields["event_type"] == "install" and fields["machine_id"] == MUID
    assert fields["custom_id"] == str(CUSTOM_ID) and fields["product_code"] == str(PRODUCT_CODE)
    assert fields["product_type"] == str(PRODUCT_TYPE) and fields["suite_version"] == SUITE_VERSION
    assert fields["ProductID"] == str(PRODUCT_CODE)

    state = bed.state()
    assert state["EVT1"] == {"instDateTime": utc_text(installed), "Send": "1"}
    # "lastExec" is the end of the run's detection query (UTC), so within the run, and the
    # tracks' mark is the end of theirs.
    last_exec = datetime.strptime(state["GLOBAL"]["lastExec"], "%Y-%m-%dT%H:%M:%S")
    assert started <= last_exec.replace(tzinfo=timezone.utc) <= ended
    last_track = datetime.strptime(state["GLOBAL"]["lastTrack"], "%Y-%m-%dT%H:%M:%S")
    assert started <= last_track.replace(tzinfo=timezone.utc) <= last_exec.replace(tzinfo=timezone.utc)
    assert (bed.repository / "EvtsInstall.txt").exists()
    assert not [p for p in bed.repository.iterdir() if p.name.startswith(MUID)]  # deleted

    again = bed.run(["/TestMode"])
    assert again.exit_code == 0
    assert len(s.documents()) == 1  # no second installation event
    assert 24 in again.trace_numbers() and 25 in again.trace_numbers()


def test_installation_and_detections_share_one_document(bed, suite):
    s = suite(fixture=sdk_fixture(reports=detections(12)))
    result = bed.run()
    assert result.exit_code == 0
    [document] = s.documents()
    installation, detection = document["DeviceEvents"]
    assert installation["EventType"] == "Installation"
    assert list(detection) == ["EventType", "MUID", "DetectionsInfo"]
    assert len(detection["DetectionsInfo"]) == 11
    assert list(detection["DetectionsInfo"][0]) == ["DateTime", "DetectionID", "MalwareID"]
    tracks = s.tracks("track-detections")
    assert len(tracks) == 10
    assert [query(t)["DetectionID"] for t in tracks] == [str(500 + i) for i in range(10)]
    assert {query(t)["event_type"] for t in tracks} == {"detection"}


def test_detection_tracks_without_the_detection_event(bed, suite):
    config = dict(DEFAULT_CONFIG, SendDetectionEvent="false")
    s = suite(fixture=sdk_fixture(installed=utc_now() - timedelta(days=5), reports=detections(2)),
              config=config)
    result = bed.run()
    assert result.exit_code == 0
    assert s.documents() == []  # neither installation (5 days ago) nor detection event
    assert len(s.tracks("track-detections")) == 2
    # The tracks' own mark moved; the document's did not, as no document went out.
    [written] = [t["args"][0] for t in result.traces_of("tracking", 39)]
    assert bed.state()["GLOBAL"] == {"lastTrack": written}


def test_failed_detection_send_keeps_last_exec_and_marks_the_run_failed(bed, suite):
    s = suite(fixture=sdk_fixture(installed=utc_now() - timedelta(days=5), reports=detections(2)))
    bed.run_env["ZENTRAK_COMMS_FAIL"] = "SendTrack"
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert b"Error enviando el track de detecciones." not in (result.ok_log or b"")
    assert log_lines(result.error_log) == [b"Fin de la ejecucion."]
    [document] = s.documents()  # the detection event is still delivered
    assert document["DeviceEvents"][0]["EventType"] == "Detection"
    # The failed tracks kept their mark (tracking trace 40, never 39): it stays where they
    # started, the installation (empty); the transfer moved the document's.
    assert result.traces_of("tracking", 40) and not result.traces_of("tracking", 39)
    assert 21 in result.trace_numbers()  # transfer succeeded
    [written] = [t["args"][0] for t in result.traces_of("run", 73)]
    assert bed.state()["GLOBAL"] == {"lastExec": written, "lastTrack": ""}


def test_failed_transfer_leaves_last_exec_and_still_makes_the_copies(bed, suite):
    s = suite(setup={"DumpJSONs": 1, "DumpJSONsPath": r"C:\Dumps"})
    (bed.drive_c / "Dumps").mkdir(exist_ok=True)
    (bed.drive_c / "Backup").mkdir(exist_ok=True)
    bed.registry({SERVICE_HOST_KEY: {"zentrak_backup": r"C:\Backup"}})
    bed.run_env["ZENTRAK_COMMS_FAIL"] = "TransferFile"
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert log_lines(result.error_log) == [b"Fin de la ejecucion."]
    # Nothing of the document is recorded; the fixture has no detections, so the tracks'
    # complete, empty pass moved their own mark.
    [written] = [t["args"][0] for t in result.traces_of("tracking", 39)]
    assert bed.state() == {"GLOBAL": {"lastTrack": written}}
    dump = bed.drive_c / "Dumps" / "ZentrakDump.json"
    assert dump.read_bytes().startswith(b'{"DeviceEvents":[{"EventType":"Installation"')
    assert (bed.drive_c / "Dumps" / "Zentrak_Install.txt").exists()
    [backup] = [p for p in (bed.drive_c / "Backup").iterdir() if p.name.startswith(MUID + "_")]
    assert backup.read_bytes() == dump.read_bytes()
    assert s.documents() == []

    # The marker was written when the installation object was built: the next run, with
    # the transfer working again, builds no second installation event.
    del bed.run_env["ZENTRAK_COMMS_FAIL"]
    again = bed.run()
    assert again.exit_code == 0
    [window] = again.traces_of("tracking", 14)
    assert window["args"][3:] == [1, 0]  # marker present, not due
    assert s.documents() == [] and 24 in again.trace_numbers()
    assert "EVT1" not in bed.state() and "lastExec" not in bed.state()["GLOBAL"]
    shutil.rmtree(bed.drive_c / "Dumps")
    shutil.rmtree(bed.drive_c / "Backup")


def test_dump_without_a_folder_goes_to_the_root_of_the_current_drive(bed, suite):
    suite(setup={"DumpJSONs": 1})
    workdir = bed.drive_c / "work"
    workdir.mkdir(exist_ok=True)
    dump = bed.drive_c / "ZentrakDump.json"
    dump.unlink(missing_ok=True)
    bed.run(workdir=workdir)
    assert dump.read_bytes().startswith(b'{"DeviceEvents":[')
    assert (bed.drive_c / "Zentrak_Install.txt").exists()  # the track report beside it
    dump.unlink()
    (bed.drive_c / "Zentrak_Install.txt").unlink()
    shutil.rmtree(workdir)
    assert not [p for p in bed.repository.iterdir() if p.name.startswith(MUID)]


def test_exhausted_vpn_allowance_is_reported_once_a_day(bed, suite):
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    s = suite(fixture=sdk_fixture(vpn=vpn))
    started = utc_now()
    bed.run()
    [post] = s.vpn_posts()
    fields = query(post)
    assert post["method"] == "POST" and post["body_size"] == 0
    assert post["headers"].get("User-Agent") == "Kelvo Security Events"
    assert [name for name, _ in post["query"]] == [
        "cr", "fm", "s_muid", "s_event", "s_eventdate", "s_vpntraffic"]
    assert fields["s_vpntraffic"] == "100" and fields["s_muid"] == MUID
    assert fields["s_event"] == "VPNTrafficEvent" and fields["cr"] == "916"
    assert fields["fm"] == "84"
    sent_at = datetime.strptime(fields["s_eventdate"], "%Y-%m-%d %H:%M:%S")
    assert started <= sent_at.replace(tzinfo=timezone.utc) <= utc_now()
    # The day of the post, read from the post itself: no midnight can come between.
    assert bed.state()["VPN_Status"]["VPNEvent100"] == str(sent_at.day)
    again = bed.run()
    assert again.exit_code == 0
    if utc_now().day == sent_at.day:  # still the same UTC day: not sent again
        assert len(s.vpn_posts()) == 1


def test_uninstall_within_two_days_sends_both_events_and_removes_the_marker(bed, suite):
    s = suite(setup={"MainProductID": 1200, "VersionType": 3, "CustomID": "5"})
    result = bed.run(["/TestMode", "/UNINSTALL"])
    assert result.exit_code == 0
    assert log_lines(result.ok_log)[0] == b"Se trata de un evento de desinstalacion."
    [document] = s.documents()
    assert [e["EventType"] for e in document["DeviceEvents"]] == ["Installation", "Uninstallation"]
    assert not (bed.repository / "EvtsInstall.txt").exists()
    kinds = [query(t)["event_type"] for t in s.tracks("track-campaign")]
    assert kinds == ["unins_prev", "install", "unins"]


def test_previous_uninstall_track_without_registry_values_is_still_sent(bed, suite):
    s = suite(fixture=sdk_fixture(installed=utc_now() - timedelta(days=9)))
    bed.run(["/UNINSTALL", "/x"])
    previous = [t for t in s.tracks("track-campaign") if query(t)["event_type"] == "unins_prev"]
    assert len(previous) == 1
    assert query(previous[0])["ProductID"] == "0"


def test_existing_marker_suppresses_the_installation_event(bed, suite):
    s = suite()
    bed.repository.mkdir(parents=True)
    (bed.repository / "EvtsInstall.txt").write_bytes(b"2026-01-01T00:00:00")
    result = bed.run()
    assert result.exit_code == 0
    # The window was looked at: marker present 1, due 0.
    [window] = result.traces_of("tracking", 14)
    assert window["args"][3:] == [1, 0]
    assert s.documents() == [] and s.tracks() == []


def test_installation_date_unreadable_at_delivery_leaves_the_event_due(bed, suite):
    # The date is read for the installation window, then fails when the run records it.
    fault = {"call": "Configuration.3", "match": "0x4012002", "hresult": "0x80004005", "from": 2}
    s = suite(fixture=sdk_fixture(faults=[fault]))
    result = bed.run()
    assert result.exit_code == 0
    assert len(s.documents()) == 1
    assert bed.state()["EVT1"] == {"instDateTime": "", "Send": "1"}


def test_failed_installation_track_goes_to_the_current_log(bed, suite):
    s = suite()
    bed.run_env["ZENTRAK_COMMS_FAIL"] = "SendTrack"
    result = bed.run(["/TestMode"])
    assert log_lines(result.ok_log) == [b"Obtenida la instancia del TESSEL.",
                                        b"Error enviando el track de instalacion.",
                                        b"JSON transferido.", b"Fin de la ejecucion."]
    assert len(s.documents()) == 1  # the event is still delivered with the document


def test_failed_detection_track_without_a_document_keeps_last_exec(bed, suite):
    s = suite(fixture=sdk_fixture(installed=utc_now() - timedelta(days=5), reports=detections(3)),
              config=dict(DEFAULT_CONFIG, SendDetectionEvent="false"))
    bed.run_env["ZENTRAK_COMMS_FAIL"] = "SendTrack"
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    # The tracks were tried and failed (tracking trace 40): their mark stays where they
    # started, the installation (written empty, as the state file had no mark yet); no
    # document, so no "lastExec".
    assert result.traces_of("tracking", 40) and not result.traces_of("tracking", 39)
    assert 24 in result.trace_numbers()  # no event to transfer
    assert bed.state() == {"GLOBAL": {"lastTrack": ""}}
    assert log_lines(result.error_log) == [b"Fin de la ejecucion."]
    assert s.documents() == []


def test_vpn_event_already_sent_on_this_day_number_is_not_sent_again(bed, suite):
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    s = suite(fixture=sdk_fixture(installed=utc_now() - timedelta(days=9), vpn=vpn))
    bed.repository.mkdir(parents=True)
    # The same day number, whatever the month it was written in.
    day = utc_now().day
    (bed.repository / "EvtsData.ini").write_bytes(b"[VPN_Status]\r\nVPNEvent100=%d\r\n" % day)
    result = bed.run()
    assert result.exit_code == 0
    [decision] = result.traces_of("tracking", 64)
    if utc_now().day == day:  # the run did not cross midnight
        # Both switches on, the 100 % event recorded for today: no event (and no 80 % one,
        # since 0 MiB are left).
        assert decision["args"][:5] == [1, 1, 0, 1, 0]
        assert s.vpn_posts() == []


def test_vpn_event_goes_through_the_configured_proxy_without_credentials(bed, suite):
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 2048 * MiB},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    fixture = sdk_fixture(installed=utc_now() - timedelta(days=9), vpn=vpn)
    fixture["config"].update({"0x4009014": "127.0.0.15:8080", "0x4009012": "user",
                              "0x4009013": "secret"})
    s = suite(fixture=fixture)
    proxy = Collector(bed.scratch, "127.0.0.15", 8080, proxy=True)
    try:
        bed.run()
        relayed = [r for r in proxy.requests() if "/ats/post.aspx" in r["target"]]
    finally:
        proxy.stop()
    [post] = s.vpn_posts()
    assert query(post)["s_vpntraffic"] == "80"
    assert len(relayed) == 1
    assert relayed[0]["target"].startswith("http://127.0.0.12/ats/post.aspx?cr=916")
    assert not any(k.lower() == "proxy-authorization" for k in relayed[0]["headers"])


def test_without_an_activation_context_the_registered_sdk_is_used(bed, suite):
    # A missing assembly manifest makes the activation context fail; the class is then
    # found through its registration.
    manifest = bed.install_dir / "PirxaApi.tlb.manifest"
    saved = manifest.read_bytes()
    manifest.unlink()
    bed.wine("regsvr32", "/s", r"C:\Zentrak\TesselApi.dll")
    try:
        s = suite()
        result = bed.run(["/TestMode"])
    finally:
        bed.wine("regsvr32", "/s", "/u", r"C:\Zentrak\TesselApi.dll", check=False)
        manifest.write_bytes(saved)
    assert result.exit_code == 0
    assert result.traces_of("hostsdk", 1), "the activation context was not refused"
    assert b"JSON transferido." in result.ok_log
    assert len(s.documents()) == 1


def test_unlimited_vpn_traffic_sends_no_event_whatever_is_left(bed, suite):
    vpn = {"TrafficIsUnlimited": True, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    s = suite(fixture=sdk_fixture(installed=utc_now() - timedelta(days=9), vpn=vpn))
    result = bed.run()
    assert result.exit_code == 0
    assert result.traces_of("tracking", 62)  # the check read the flag and stopped there
    assert not result.traces_of("tracking", 64)  # no decision was even made
    assert s.vpn_posts() == [] and "VPN_Status" not in bed.state()


def test_expected_digest_of_hexadecimal_zero_turns_detections_off_and_nothing_else(bed, suite):
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    s = suite(fixture=sdk_fixture(reports=detections(3), vpn=vpn))
    bed.run_env["filemd5"] = "00000000"
    result = bed.run()
    assert result.exit_code == 0
    [skipped] = result.traces_of("tracking", 30)
    assert skipped["args"] == [0, 0]  # detections off, not in uninstall mode
    assert s.tracks("track-detections") == []
    [document] = s.documents()
    assert [e["EventType"] for e in document["DeviceEvents"]] == ["Installation"]
    assert len(s.tracks("track-campaign")) == 1 and len(s.vpn_posts()) == 1
