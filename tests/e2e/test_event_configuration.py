"""The event configuration and the repository folder, seen from outside: what was
fetched, what the run then sent, and how it ended."""

import hashlib
import json
import shutil
from datetime import timedelta

import pytest

from suite import CONFIG_HOST, DEFAULT_CONFIG, report, sdk_fixture, utc_now
from winebed import log_lines

CONFIG_ERROR = "Error obteniendo la configuraci\u00f3n del evento.".encode("latin-1")


@pytest.fixture
def suite(suite):
    """The stand-in suite with an old installation and one detection to track."""

    def start(**kwargs):
        kwargs.setdefault("fixture", sdk_fixture(installed=utc_now() - timedelta(days=9),
                                                 reports=[report(0x100003, utc_now(), 1, 2)]))
        return suite(**kwargs)

    return start


def config_requests(s):
    return [r for r in s.config.requests() if r["method"] == "GET"]


def test_local_copy_matching_the_digest_in_another_case_is_used_without_a_request(bed, suite):
    s = suite()
    data = json.dumps(DEFAULT_CONFIG).encode()
    bed.repository.mkdir(parents=True)
    (bed.repository / "events.json").write_bytes(data)
    bed.run_env["filemd5"] = hashlib.md5(data).hexdigest().upper()
    result = bed.run()
    assert result.exit_code == 0
    assert config_requests(s) == []
    assert 33 in result.trace_numbers()
    assert len(s.tracks("track-detections")) == 1


def test_stale_local_copy_is_downloaded_again(bed, suite):
    s = suite()
    bed.repository.mkdir(parents=True)
    (bed.repository / "events.json").write_bytes(b'{"SendDetectionTrack":false}')
    result = bed.run()
    assert [r["path"] for r in config_requests(s)] == ["/cfg/events.json"]
    assert 34 in result.trace_numbers()
    assert json.loads((bed.repository / "events.json").read_bytes()) == DEFAULT_CONFIG
    assert len(s.tracks("track-detections")) == 1


def test_file_path_source_is_copied(bed, suite):
    s = suite()
    source = bed.drive_c / "cfgsrc"
    source.mkdir(exist_ok=True)
    data = json.dumps(dict(DEFAULT_CONFIG, SendDetectionTrack="false")).encode()
    (source / "local.json").write_bytes(data)
    bed.run_env.update(cfgeventfile=r"C:\cfgsrc\local.json", filemd5=hashlib.md5(data).hexdigest())
    result = bed.run()
    assert result.exit_code == 0
    assert (bed.repository / "local.json").read_bytes() == data
    assert s.tracks("track-detections") == []
    shutil.rmtree(source)


def test_source_without_a_separator_gives_an_empty_configuration(bed, suite):
    s = suite()
    bed.run_env["cfgeventfile"] = "events.json"
    result = bed.run()
    assert result.exit_code == 0
    assert 15 in result.trace_numbers()  # the load went on with an empty configuration
    assert s.tracks("track-detections") == []  # no filters: nothing selected


def test_source_that_would_write_outside_the_repository_writes_nowhere(bed, suite):
    s = suite()
    # The collector serves a whole configuration at the traversal address, so a program
    # that took "..\..\evil.json" as a file name would have something to write.
    data = json.dumps(DEFAULT_CONFIG).encode()
    (s.served / "..\\..\\evil.json").write_bytes(data)
    bed.run_env.update(cfgeventfile="http://%s/..%%5C..%%5Cevil.json" % CONFIG_HOST,
                       filemd5=hashlib.md5(data).hexdigest())
    result = bed.run()
    assert result.exit_code == 0
    [request] = config_requests(s)  # the download was made and answered
    assert request["status"] == 200
    assert s.tracks("track-detections") == []  # the configuration was not taken
    # No "evil.json" in the repository or in any folder a ".." of it reaches.
    folder = bed.repository
    while True:
        assert not [p.name for p in folder.iterdir() if p.name.endswith("evil.json")], folder
        if folder == bed.drive_c:
            break
        folder = folder.parent


def test_unknown_member_fails_the_load_and_nothing_is_sent(bed, suite):
    s = suite(config=dict(DEFAULT_CONFIG, Extra1=1, Extra2=2))
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert log_lines(result.error_log) == [b"Fin de la ejecucion."]
    assert [t["args"] for t in result.traces_of("run", 42)] == [["Extra1"], ["Extra2"]]
    assert s.tracks() == [] and s.documents() == []


@pytest.mark.parametrize("content", [
    b"{not json", b"", b"\x00\xff\xfe binary",
    b'{"DetectionsToEvent":[{"MalwareID":1}]}',
    b'{"DetectionsToEvent":[{"DetectionID":4294967296,"MalwareID":1}]}',
    b"[" * 100000 + b"]" * 100000,
], ids=["cut", "empty", "binary", "no-detection-id", "beyond-32-bits", "deep"])
def test_configuration_the_reader_rejects_ends_the_run_with_nothing_sent(bed, suite, content):
    s = suite()
    s.serve_config(content)
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert 26 in result.trace_numbers()
    assert s.tracks() == [] and s.documents() == []


def test_missing_variable_fails_the_load(bed, suite):
    s = suite()
    del bed.run_env["filemd5"]
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert log_lines(result.error_log) == [b"Fin de la ejecucion."]
    assert [t["args"] for t in result.traces_of("run", 27)] == [["filemd5"]]
    assert s.tracks() == []


def test_agent_folder_missing_stops_the_run(bed, suite):
    suite()
    shutil.rmtree(bed.agent_folder)
    result = bed.run(["/TestMode"])
    assert result.exit_code == -1
    assert log_lines(result.error_log) == [b"Error obteniendo la ruta del repositorio."]
    assert not bed.agent_folder.exists()


def test_agent_folder_without_contexts_gets_the_repository(bed, suite):
    suite()
    result = bed.run()
    assert result.exit_code == 0
    assert bed.repository.is_dir()
    assert 28 in result.trace_numbers()


def test_uninstall_mode_fetches_nothing(bed, suite):
    s = suite()
    result = bed.run(["/UNINSTALL", "/x"])
    assert result.exit_code == 0
    # The load was reached and returned (trace 15), in uninstall mode (trace 16), without
    # reading the configuration's variables (trace 27 would name a missing one).
    assert {15, 16} <= set(result.trace_numbers()) and 27 not in result.trace_numbers()
    assert config_requests(s) == []
