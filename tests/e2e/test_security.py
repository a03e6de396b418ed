"""A SYSTEM process that users cannot steer, as far as Wine shows it: links in place of the
program's folders are refused, never written through; a configuration that does not match
its digest is not used; an ordinary user's mutex does not stop the runs. (The proxy
credential rule, the time limits, the descriptors and the DLL search are checked by the
Windows-side tests. Wine shows a link to a file as a plain file, and follows it even to
delete it, so links at the program's files, ownership and real ACLs are on the README's
manual list.)"""

import hashlib
import json
import subprocess
import time
from datetime import timedelta

import pytest

from suite import DEFAULT_CONFIG, report, sdk_fixture, utc_now
from winebed import log_lines

SELECTED = 0x100003
NO_REPOSITORY = b"Error obteniendo la ruta del repositorio."
ANOTHER_INSTANCE = b"Hay otra instancia de Zentrak.exe ejecutandose."
CANARY = b"canary: a file only its owner may change\n"


def canary_folder(bed):
    """A folder with one file, that a planted link points at; the run must leave it as
    it is."""
    folder = bed.drive_c / "work" / "canary"
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "keep.txt").write_bytes(CANARY)
    return folder


def listing(folder) -> dict:
    return {p.name: p.read_bytes() for p in folder.iterdir()}


@pytest.mark.parametrize("linked", ["Contexts", "Contexts/EvtRepo"])
def test_a_link_in_place_of_a_folder_of_the_repository_is_refused(bed, suite, linked):
    suite()
    canary = canary_folder(bed)
    link = bed.agent_folder / linked
    link.parent.mkdir(parents=True, exist_ok=True)
    link.symlink_to(canary, target_is_directory=True)
    result = bed.run(["/TestMode"])
    assert result.exit_code == -1
    assert log_lines(result.error_log) == [NO_REPOSITORY]
    refused = [t["args"][0] for t in result.traces_of("run", 75)]
    assert refused == ["C:\\ProgramData\\Kelvo Security\\Kelvo Devices Agent\\"
                       + linked.replace("/", "\\")]
    assert listing(canary) == {"keep.txt": CANARY}


def test_a_link_in_place_of_the_dump_folder_gets_no_dump(bed, suite):
    s = suite(setup={"DumpJSONs": 1, "DumpJSONsPath": r"C:\Dumps"})
    canary = canary_folder(bed)
    (bed.drive_c / "Dumps").symlink_to(canary, target_is_directory=True)
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0 and len(s.documents()) == 1  # the rest of the job is done
    assert listing(canary) == {"keep.txt": CANARY}
    assert [t["args"] for t in result.traces_of("run", 75)] == [["C:\\Dumps"]]


def test_a_configuration_that_does_not_match_its_digest_is_not_used(bed, suite):
    now = utc_now()
    s = suite(fixture=sdk_fixture(installed=now - timedelta(days=5),
                                  reports=[report(SELECTED, now - timedelta(minutes=5), 1, 2)]))
    good = json.dumps(DEFAULT_CONFIG).encode()
    assert bed.run().exit_code == 0  # the good configuration, fetched and used
    assert len(s.tracks("track-detections")) == 1
    local = bed.repository / "events.json"
    assert local.read_bytes() == good

    # Someone on the path serves another file under a new digest's name: the digest
    # names a file that never arrives.
    wanted = dict(DEFAULT_CONFIG, ExpirationDays=7)
    s.serve_config(wanted)
    tampered = json.dumps(dict(wanted, DetectionsToTrack=[])).encode()
    (s.served / "cfg" / "events.json").write_bytes(tampered)
    expected = hashlib.md5(json.dumps(wanted).encode()).hexdigest()
    bed.set_fixture(sdk_fixture(installed=now - timedelta(days=5),
                                reports=[report(SELECTED, utc_now() + timedelta(seconds=1), 3, 4)]))
    result = bed.run()
    assert result.exit_code == 0
    # A failed fetch: no filters, so no detection event or track; the old copy stays,
    # and nothing of the fetch is left behind.
    assert len(s.tracks("track-detections")) == 1 and s.documents()[1:] == []
    assert local.read_bytes() == good
    assert sorted(p.name for p in bed.repository.iterdir()) == ["EvtsData.ini", "events.json"]
    [rejected] = [t["args"] for t in result.traces_of("run", 76)]
    assert rejected == [hashlib.md5(tampered).hexdigest(), expected]


def hold_mutex(bed, sddl):
    """Starts HoldMutex.exe with the program's mutex name; returns the process once the
    mutex exists."""
    ready = bed.scratch / ("hold-%d.ready" % time.monotonic_ns())
    process = subprocess.Popen(
        [bed.loader, str(bed.install_dir / "HoldMutex.exe"), "Kelvo Security Events", sddl,
         bed.windows_path(ready), "300"],
        env=bed.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while not ready.exists():
        assert process.poll() is None and time.monotonic() < deadline, "HoldMutex did not start"
        time.sleep(0.05)
    return process


def test_an_ordinary_users_mutex_does_not_stop_the_runs(bed, suite):
    s = suite()
    # Owned by the Users group: not a copy of the program.
    squatter = hold_mutex(bed, "O:BUD:(A;;GA;;;WD)")
    try:
        first = bed.run(["/TestMode"])
        assert first.exit_code == 0 and len(s.documents()) == 1
        [squatted] = [t["args"] for t in first.traces_of("run", 77)]
        assert squatted == ["S-1-5-32-545"]
        assert (bed.repository / "EvtsRun.lock").exists()

        # The lock file keeps copies out of each other as the mutex does.
        bed.service_stop()
        holder = bed.start(["/TestMode"], timeout=240)
        assert holder.wait_for_trace("run", 57), "the first copy never started waiting"
        second = bed.run(["/TestMode"])
        assert second.exit_code == -1
        assert log_lines(second.error_log) == [ANOTHER_INSTANCE]
        assert second.traces_of("run", 77) and 59 not in second.trace_numbers()
        assert holder.process.poll() is None  # it held the lock all along
        holder.end()
    finally:
        squatter.kill()
        squatter.wait()
