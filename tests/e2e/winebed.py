"""The Wine test bed: a Windows installation owned by the test run, the programs
installed in it, the suite's registry values, the stand-in host service, and one call
that runs Zentrak.exe and collects what the run left behind.

Used by the end-to-end scenarios (through conftest.py) and by the demo (demo.py).
"""

from __future__ import annotations

import calendar
import copy
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import uuid
from dataclasses import dataclass, field
from datetime import datetime, timedelta, timezone, tzinfo
from pathlib import Path
from typing import Iterable, Mapping, Optional, Sequence, Union
from zoneinfo import ZoneInfo

REPO = Path(__file__).resolve().parents[2]

sys.path.insert(0, str(REPO / "tools" / "tracefile"))
import readtrace  # noqa: E402

HKLM = "HKEY_LOCAL_MACHINE"
# The suite's keys as a 32-bit installer writes them. In a 64-bit prefix the bed writes
# every key under HKLM\SOFTWARE into the 32-bit view (Wow6432Node), where the program
# reads in both builds; scenarios name the keys as the suite does.
HKLM_SOFTWARE = HKLM + "\\SOFTWARE\\"
WOW64_32_NODE = "Wow6432Node\\"
SETUP_KEY = HKLM + r"\SOFTWARE\Kelvo Software\Setup"
UIDS_KEY = SETUP_KEY + r"\UIDS"
SERVICE_HOST_KEY = HKLM + r"\Software\Kelvo Security\Kelvo Service Host"
AGENT_DEFAULTS_KEY = HKLM + r"\Software\Kelvo Security\Orvix Agent\Config\Services\DEFAULTS"
# Everything the suite writes: removed before each scenario.
SUITE_KEYS = (HKLM + r"\SOFTWARE\Kelvo Software", HKLM + r"\Software\Kelvo Security")
# The .NET Framework setup's key. The prefix has none (Wine's Mono is not installed);
# scenarios that write one have it removed before the next.
DOTNET_SETUP_KEY = HKLM + r"\SOFTWARE\Microsoft\NET Framework Setup"

# Folders scenarios make on the prefix's drive (dump, backup, working and configuration
# source folders): removed before each scenario.
SCENARIO_FOLDERS = ("Dumps", "Backup", "work", "cfgsrc")

SERVICE_NAME = "VelkorServiceMain"
# Wine's own tools by their paths: given a bare name, wine first starts start.exe to find
# the program, one more Wine process.
WINE_TOOLS = {name: "C:\\windows\\system32\\%s.exe" % name
              for name in ("sc", "net", "reg", "regsvr32")}
WINE_TOOLS["regedit"] = r"C:\windows\regedit.exe"
OK_LOG = "TestZentrak_OK.log"
ERROR_LOG = "TestZentrak_ERROR.log"

# Every run's zone unless a scenario picks another: results never depend on the zone of
# the machine that runs the tests.
DEFAULT_ZONE = "UTC"
EPOCH_1601 = datetime(1601, 1, 1, tzinfo=timezone.utc)
OLE_EPOCH = datetime(1899, 12, 30)


class StepZone(tzinfo):
    """A zone of its own making for a run: its offset east of UTC steps from `before` to
    `after` at the instant `change` (UTC). `tz` is the POSIX TZ text that puts a Wine
    process in the same zone, with daylight saving one hour ahead of standard time and
    its other change half a year away."""

    def __init__(self, change: datetime, before: timedelta, after: timedelta):
        self.change, self.before, self.after = change, before, after
        standard = min(before, after)
        hours = int(standard.total_seconds() // 3600)
        if max(before, after) - standard != timedelta(hours=1) or change.minute or change.second:
            raise ValueError("one hour of daylight saving, changing on the hour")

        def rule(at_utc: datetime, offset: timedelta) -> str:
            # "Jn/h": day n of the year counting 1 to 365 without 29 February, at local
            # hour h of the time in force before the change.
            wall = at_utc + offset
            day = wall.timetuple().tm_yday
            if wall.month > 2 and calendar.isleap(wall.year):
                day -= 1
            return "J%d/%d" % (day, wall.hour)

        far = change + timedelta(days=182)
        starts_summer = after > before
        start = rule(change, before) if starts_summer else rule(far, after)
        end = rule(far, after) if starts_summer else rule(change, before)
        self.tz = "ZST%+dZDT,%s,%s" % (-hours, start, end)

    def _offset(self, utc: datetime) -> timedelta:
        return self.before if utc < self.change.replace(tzinfo=None) else self.after

    def utcoffset(self, dt):
        return self._offset(dt.replace(tzinfo=None) - self.before)

    def dst(self, dt):
        return timedelta(0)

    def tzname(self, dt):
        return self.tz

    def fromutc(self, dt):
        return (dt + self._offset(dt.replace(tzinfo=None))).replace(tzinfo=self)


Zone = Union[str, StepZone]


def zone_info(zone: Zone) -> tzinfo:
    return ZoneInfo(zone) if isinstance(zone, str) else zone


def tz_variable(zone: Zone) -> str:
    """The TZ variable that puts a Wine process in the zone."""
    return zone if isinstance(zone, str) else zone.tz


def local_wall(instant: datetime, zone: Zone) -> datetime:
    """The wall time (naive) that an instant shows in a zone."""
    if instant.tzinfo is None:
        raise ValueError("an instant needs its zone: %r" % instant)
    return instant.astimezone(zone_info(zone)).replace(tzinfo=None)


def wall_text(instant: datetime, zone: Zone) -> str:
    """"%Y-%m-%dT%H:%M:%S" of the instant's wall time in the zone."""
    return local_wall(instant, zone).strftime("%Y-%m-%dT%H:%M:%S")


def utc_text(instant: datetime) -> str:
    """The state file's and the installation text's form of an instant, in UTC."""
    return wall_text(instant, "UTC")


def local_filetime(instant: datetime, zone: Zone) -> int:
    """The FILETIME ticks of the instant's wall time in the zone, as the SDK keeps the
    installation time."""
    wall = local_wall(instant, zone)
    return int((wall - EPOCH_1601.replace(tzinfo=None)).total_seconds()) * 10_000_000


def ole_date(wall: datetime) -> float:
    """The OLE date of a wall time (for dates after 1899-12-30)."""
    return (wall - OLE_EPOCH).total_seconds() / 86400.0


def localized(fixture: dict, zone: Zone) -> dict:
    """The stand-in SDK's fixture as a real SDK in that zone gives it: every instant (an
    aware datetime) becomes the wall-time text of the zone, and the top-level "installed"
    instant becomes the installation FILETIME items (local time)."""
    def walk(value):
        if isinstance(value, datetime):
            return wall_text(value, zone)
        if isinstance(value, dict):
            return {k: walk(v) for k, v in value.items()}
        if isinstance(value, list):
            return [walk(v) for v in value]
        return value

    fixture = copy.deepcopy(fixture)
    installed = fixture.pop("installed", None)
    fixture = walk(fixture)
    if installed is not None:
        ticks = local_filetime(installed, zone)
        low, high = ticks & 0xFFFFFFFF, ticks >> 32
        fixture.setdefault("config", {}).update({
            "0x4012002": {"vt": "i4", "value": low - (1 << 32) if low >= 1 << 31 else low},
            "0x4012001": {"vt": "i4", "value": high}})
    return fixture


# A registry value: str is REG_SZ, int is REG_DWORD, bytes is REG_BINARY, and
# RegValue gives any type with raw data.
@dataclass(frozen=True)
class RegValue:
    type_code: int  # REG_* number
    data: bytes


Value = Union[str, int, bytes, RegValue, None]


@dataclass
class RunResult:
    exit_code: Optional[int]  # None when the run was stopped at its time limit
    stdout: bytes
    stderr: bytes
    ok_log: Optional[bytes]
    error_log: Optional[bytes]
    traces: list
    seconds: float
    workdir: Path
    sdk_journal: list = field(default_factory=list)    # what the stand-in SDK was asked
    comms_journal: list = field(default_factory=list)  # what the stand-in comms library was asked
    process_seconds: float = 0.0  # from process creation to its end, measured under Wine
    peak_working_set: int = 0     # bytes
    trace_text: str = ""          # the trace file as written

    def trace_numbers(self, unit: str = "run") -> list:
        return [t["n"] for t in self.traces if t["unit"] == unit]

    def traces_of(self, unit: str, number: int) -> list:
        return [t for t in self.traces if t["unit"] == unit and t["n"] == number]


@dataclass
class Started:
    """A run started in the background (see WineBed.start)."""

    process: subprocess.Popen
    workdir: Path
    trace_file: Path
    exit_file: Path
    sdk_journal: Path
    comms_journal: Path
    started_at: float
    bed: "WineBed" = field(repr=False)

    def traces(self) -> list:
        return _read_traces(self.trace_file)

    def _wait_until(self, seen, timeout: float) -> bool:
        """Polls until seen() holds (True), the run ends or the time is up (False)."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if seen():
                return True
            if self.process.poll() is not None:
                return False
            time.sleep(0.05)
        return False

    def wait_for_trace(self, unit: str, number: int, timeout: float = 30.0) -> bool:
        return self._wait_until(
            lambda: any(t["unit"] == unit and t["n"] == number for t in self.traces()), timeout)

    def comms_calls(self) -> list:
        """What the comms stand-in journaled so far."""
        return _read_json_lines(self.comms_journal)

    def wait_for_comms(self, call: str, timeout: float = 60.0) -> bool:
        """Waits until the comms stand-in journaled the call (a "Hold" line, for example)."""
        return self._wait_until(
            lambda: any(line.get("call") == call for line in self.comms_calls()), timeout)

    def progress(self) -> str:
        """What a failed wait reports: the exit code so far and the calls journaled."""
        return "exit code %r, comms calls %s" % (
            self.process.poll(), [line.get("call") for line in self.comms_calls()])

    def kill_program(self) -> None:
        """Ends Zentrak.exe at once, as a crash or a power cut would: SIGKILL to its Linux
        process, found by its command line and this bed's prefix."""
        assert self.bed.kill_programs(), "no Zentrak.exe process to kill"

    def end(self) -> None:
        """Ends a run left running (a scenario that failed while it waited), so that it
        cannot hold the lock or a port for the next scenario."""
        if self.process.poll() is None:
            self.bed.kill_programs()
            self.process.kill()
        self.process.communicate()

    def wait(self, timeout: float = 120.0) -> RunResult:
        try:
            stdout, stderr = self.process.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            # A hung run must not hold the prefix or a port for the next scenario.
            self.process.kill()
            self.process.communicate()
            raise
        return self.bed._collect(self, stdout, stderr)


def _read_json_lines(path: Path) -> list:
    return _read_traces(path)


def _read_traces(path: Path) -> list:
    if not path.exists():
        return []
    lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
    return [json.loads(line) for line in lines if line.strip()]


def _read_text(path: Path) -> str:
    return path.read_text(encoding="utf-8", errors="replace") if path.exists() else ""


def readable_trace(traces: list) -> list:
    """A run's trace records as the trace-file reader prints them."""
    return [readtrace.format_record(t) for t in traces]


def _reg_escape(text: str) -> str:
    return text.replace("\\", "\\\\").replace('"', '\\"')


def _reg_line(name: str, value: Value) -> str:
    key = "@" if name == "" else '"%s"' % _reg_escape(name)
    if value is None:
        return "%s=-" % key
    if isinstance(value, bool):
        raise TypeError("use int for REG_DWORD")
    if isinstance(value, int):
        return "%s=dword:%08x" % (key, value & 0xFFFFFFFF)
    if isinstance(value, str):
        return '%s="%s"' % (key, _reg_escape(value))
    if isinstance(value, bytes):
        value = RegValue(3, value)
    return "%s=hex(%x):%s" % (key, value.type_code, ",".join("%02x" % b for b in value.data))


def build_description(build_dir: Path) -> dict:
    """What a cross build says of itself (testbed.json, written by its configure step):
    "arch" (x86 for the 32-bit product, x64 for the x86-64 test build), "winearch" and
    "loader", the Wine that runs its programs."""
    return json.loads((Path(build_dir) / "testbed.json").read_text(encoding="utf-8"))


class WineBed:
    def __init__(self, build_dir: Path, own_prefix: Optional[Path] = None):
        """own_prefix: a prefix for this bed alone, made as a new copy of the build's shared
        one; without it the bed uses the shared prefix."""
        self.build_dir = Path(build_dir).resolve()
        described = build_description(self.build_dir)
        self.arch = described["arch"]
        self.loader = described["loader"]
        self.bin_dir = self.build_dir / "bin"
        self.shared_prefix = self.build_dir / "wineprefix"
        self.prefix = Path(own_prefix or self.shared_prefix).resolve()
        self.own_prefix = own_prefix is not None
        self.drive_c = self.prefix / "drive_c"
        self.install_dir = self.drive_c / "Zentrak"
        self.scratch = self.build_dir / "e2e-scratch"
        self.pending_deletes: list = []  # registry keys clean() removes with the next write
        self.service_known_running = False  # started by this bed, and not stopped since
        self.env = dict(os.environ)
        self.env.update(
            TZ=DEFAULT_ZONE,
            WINEPREFIX=str(self.prefix),
            WINEARCH=described["winearch"],
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=",
        )
        if self.arch == "x64":
            # Wine starts the run's children (and the service's) with the same loader.
            self.env["WINELOADER"] = self.loader
        for name in ("ZENTRAK_TRACE_FILE", "ZENTRAK_TRACE_LEVEL", "ZENTRAK_TRACE_FLAGS",
                     "ZENTRAK_COMMS_DELAY_MS", "cfgeventfile", "filemd5",
                     "TESSEL_STANDIN_FIXTURE", "TESSEL_STANDIN_JOURNAL", "ZENTRAK_COMMS_JOURNAL",
                     "ZENTRAK_COMMS_FAIL", "ZENTRAK_COMMS_DELIVER", "ZENTRAK_COMMS_COLLECTOR"):
            self.env.pop(name, None)
        # Per scenario: the stand-in SDK's fixture, variables every run gets, and the zone
        # every run is in (a tz database name, or a StepZone).
        self.fixture: Optional[Path] = None
        self.run_env: dict = {}
        self.zone = DEFAULT_ZONE
        # The results of the scenario's runs, so that a failing scenario can show their
        # traces, and the runs it started (ended if still running when the next begins).
        self.results: list = []
        self.started: list = []

    # -- the installation ------------------------------------------------------------

    def _prefix_script(self, *args: str) -> list:
        return [str(REPO / "scripts" / "wine-prefix.sh"), "--arch", self.arch, str(self.prefix),
                *args]

    def ensure_prefix(self) -> None:
        copy = ["--copy-of", str(self.shared_prefix)] if self.own_prefix else []
        subprocess.run(self._prefix_script(*copy),
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

    def remove_prefix(self) -> None:
        """Stops the prefix's server (and with it every program left in the prefix) and
        removes the prefix: a copy of the shared one costs 600 MB."""
        subprocess.run(self._prefix_script("stop"),
                       check=False, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        shutil.rmtree(self.prefix, ignore_errors=True)

    def set_up(self) -> None:
        """The prefix, the programs and the stand-ins installed, the host service
        registered: once per test run."""
        self.ensure_prefix()
        self.install()
        self.service_install()

    def reset(self) -> None:
        """No suite registry values, no repository folder, the host service running:
        before each scenario."""
        self.clean()
        self.service_start()

    def install(self, extra: Iterable[Path] = ()) -> None:
        """Copies the program, the test bed's Windows tools and the stand-in suite (SDK
        with its assembly manifests, comms library) into C:\\Zentrak, which is also the
        setup "Path" of the suite (Wine looks for the SDK's assemblies beside the program)."""
        self.install_dir.mkdir(parents=True, exist_ok=True)
        for name in ("Zentrak.exe", "HostService.exe", "Launch.exe", "Baseline.exe",
                     "HoldMutex.exe"):
            shutil.copy2(self.bin_dir / name, self.install_dir / name)
        standins = self.build_dir / "standins"
        for path in [*sorted((standins / "sdk").glob("*")), standins / "comms" / "CommsWrapper.dll",
                     *extra]:
            if Path(path).is_file():
                shutil.copy2(path, self.install_dir / Path(path).name)
        self.scratch.mkdir(parents=True, exist_ok=True)

    @property
    def program(self) -> str:
        return r"C:\Zentrak\Zentrak.exe"

    def windows_path(self, path: Path) -> str:
        path = Path(path).resolve()
        try:
            rel = path.relative_to(self.drive_c)
            return "C:\\" + str(rel).replace("/", "\\")
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def wine(self, *args: str, timeout: float = 60, check: bool = True,
             cwd: Optional[Path] = None) -> subprocess.CompletedProcess:
        program = WINE_TOOLS.get(args[0], args[0])
        result = subprocess.run([self.loader, program, *args[1:]], env=self.env, cwd=cwd,
                                timeout=timeout,
                                stdin=subprocess.DEVNULL, capture_output=True)
        if check and result.returncode != 0:
            raise RuntimeError("wine %s failed (%d): %s" % (
                " ".join(args), result.returncode, result.stderr.decode(errors="replace")))
        return result

    # -- registry --------------------------------------------------------------------

    def in_suite_view(self, key: str) -> str:
        """The key where a 32-bit installer's write lands: in a 64-bit prefix, keys under
        HKLM\\SOFTWARE go to its 32-bit view."""
        if self.arch == "x64" and key.upper().startswith(HKLM_SOFTWARE):
            return key[:len(HKLM_SOFTWARE)] + WOW64_32_NODE + key[len(HKLM_SOFTWARE):]
        return key

    def registry(self, values: Mapping[str, Mapping[str, Value]] = None,
                 delete_keys: Sequence[str] = ()) -> None:
        """Writes values (key -> {name: value}) and deletes keys in one regedit call, with
        the deletions that clean() left pending; every key in the suite's view."""
        delete_keys = [*self.pending_deletes, *delete_keys]
        self.pending_deletes = []
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key in delete_keys:
            lines += ["[-%s]" % self.in_suite_view(key), ""]
        for key, named in (values or {}).items():
            lines.append("[%s]" % self.in_suite_view(key))
            lines += [_reg_line(name, value) for name, value in named.items()]
            lines.append("")
        path = self.scratch / ("reg-%s.reg" % uuid.uuid4().hex)
        path.write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-16"))
        try:
            # Seen once on a loaded machine: regedit exiting 1 without a word, and the same
            # file imported at the second try. A second failure is the scenario's.
            if self.wine("regedit", "/S", self.windows_path(path), check=False).returncode:
                time.sleep(0.5)
                self.wine("regedit", "/S", self.windows_path(path))
        finally:
            path.unlink()

    # -- the host service ------------------------------------------------------------

    def service_state(self) -> Optional[str]:
        out = self.wine("sc", "query", SERVICE_NAME, check=False).stdout.decode(errors="replace")
        for state in ("RUNNING", "STOPPED", "PAUSED", "START_PENDING", "STOP_PENDING"):
            if state in out:
                return state
        return None

    def service_install(self) -> None:
        if self.service_state() is None:
            self._create_service()

    def _create_service(self) -> None:
        self.service_known_running = False
        self.wine("sc", "create", SERVICE_NAME, "binpath=", r"C:\Zentrak\HostService.exe")

    def service_start(self) -> None:
        # Each Wine program costs a start-up, so the state is asked only when the bed has not
        # started the service since it last stopped it (or a scenario failed, which may have
        # left the suite in any state).
        if self.service_known_running:
            return
        state = self.service_state()
        if state is None:
            self._create_service()
        if state != "RUNNING":
            self.wine("net", "start", SERVICE_NAME)
            self._wait_service("RUNNING")
        self.service_known_running = True

    def service_stop(self) -> None:
        self.service_known_running = False
        if self.service_state() not in (None, "STOPPED"):
            self.wine("net", "stop", SERVICE_NAME, check=False)
            self._wait_service("STOPPED")

    def service_remove(self) -> None:
        self.service_stop()
        if self.service_state() is not None:
            self.wine("sc", "delete", SERVICE_NAME)

    def _wait_service(self, state: str, timeout: float = 20.0) -> None:
        deadline = time.monotonic() + timeout
        while self.service_state() != state:
            if time.monotonic() > deadline:
                raise RuntimeError("service did not reach %s" % state)
            time.sleep(0.1)

    # -- state between scenarios -------------------------------------------------------

    @property
    def repository(self) -> Path:
        return (self.drive_c / "ProgramData" / "Kelvo Security" / "Kelvo Devices Agent" /
                "Contexts" / "EvtRepo")

    def clean(self) -> None:
        """Removes the suite's registry keys and everything the program keeps on disk. The
        keys go with the scenario's first registry write, or before its first run: one
        regedit fewer per scenario."""
        # First a run the last scenario left running: it could still write.
        for run in self.started:
            if run.process.poll() is None:
                run.end()
        self.started = []
        self.pending_deletes = [*SUITE_KEYS, DOTNET_SETUP_KEY]
        shutil.rmtree(self.drive_c / "ProgramData" / "Kelvo Security", ignore_errors=True)
        # What scenarios create on the drive, also when one failed before its own clean-up.
        for folder in SCENARIO_FOLDERS:
            shutil.rmtree(self.drive_c / folder, ignore_errors=True)
        for left in self.drive_c.glob("ZentrakDump.json"):
            left.unlink()
        for left in self.drive_c.glob("Zentrak_*.txt"):
            left.unlink()
        self.fixture = None
        self.run_env = {}
        self.zone = DEFAULT_ZONE
        self.results = []

    @property
    def agent_folder(self) -> Path:
        return self.drive_c / "ProgramData" / "Kelvo Security" / "Kelvo Devices Agent"

    @property
    def state_file(self) -> Path:
        return self.repository / "EvtsData.ini"

    def install_suite(self, fixture: Optional[dict] = None, setup: Optional[dict] = None) -> None:
        """The stand-in suite as its setup leaves it: "Path" naming the installation
        folder, the device agent's folder, and the SDK answering from the fixture."""
        values = {"Path": r"C:\Zentrak"}
        values.update(setup or {})
        self.registry({SETUP_KEY: values})
        self.agent_folder.mkdir(parents=True, exist_ok=True)
        self.set_fixture(fixture or {})

    def set_fixture(self, fixture: dict) -> None:
        """The fixture, its instants given as the bed's zone shows them (localized)."""
        self.fixture = self.scratch / ("fixture-%s.json" % uuid.uuid4().hex)
        self.fixture.write_text(json.dumps(localized(fixture, self.zone)), encoding="utf-8")

    def write_state(self, sections: Mapping[str, Mapping[str, str]]) -> None:
        """EvtsData.ini as an earlier run left it: {section: {key: value}}."""
        self.repository.mkdir(parents=True, exist_ok=True)
        text = "".join("[%s]\r\n" % section + "".join("%s=%s\r\n" % kv for kv in keys.items())
                       for section, keys in sections.items())
        self.state_file.write_bytes(text.encode("latin-1"))

    def state(self) -> dict:
        """EvtsData.ini as {section: {key: value}}; {} when it does not exist."""
        if not self.state_file.exists():
            return {}
        sections: dict = {}
        current = None
        for line in self.state_file.read_bytes().decode("latin-1").splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = sections.setdefault(line[1:-1], {})
            elif "=" in line and current is not None:
                key, value = line.split("=", 1)
                current[key] = value
        return sections

    def new_workdir(self, name: str = "run") -> Path:
        path = Path(tempfile.mkdtemp(prefix=name + "-", dir=self.scratch))
        return path

    # -- running the program -------------------------------------------------------------

    def start(self, args: Sequence[str] = (), *, workdir: Optional[Path] = None,
              env: Optional[Mapping[str, str]] = None, timeout: float = 60.0,
              argv0: Optional[str] = None, trace_level: int = 5, trace_flags: int = 7,
              program: Optional[str] = None, trace_file: bool = True,
              sdk_journal: bool = True) -> Started:
        """Starts Zentrak.exe (or another program) through the launcher; the run inherits
        this environment, the given variables, a trace file and the stand-ins' journals
        (trace_file and sdk_journal turn the first two off). argv0 replaces the program
        path as the first token of the command line."""
        if self.pending_deletes:
            self.registry()
        workdir = workdir or self.new_workdir()
        token = uuid.uuid4().hex
        trace_path = self.scratch / ("trace-%s.jsonl" % token)
        exit_file = self.scratch / ("exit-%s.txt" % token)
        sdk_journal_path = self.scratch / ("sdk-%s.jsonl" % token)
        comms_journal = self.scratch / ("comms-%s.jsonl" % token)
        launch_file = self.scratch / ("launch-%s.txt" % token)
        program = program or self.program
        first = argv0 if argv0 is not None else '"%s"' % program
        command_line = " ".join([first, *[_quote(a) for a in args]])
        launch_file.write_bytes("\n".join([program, command_line, self.windows_path(exit_file),
                                    str(int(timeout * 1000))]).encode("utf-8") + b"\n")
        run_env = dict(self.env)
        run_env.update(TZ=tz_variable(self.zone),
                       ZENTRAK_COMMS_JOURNAL=self.windows_path(comms_journal))
        if trace_file:
            run_env.update(ZENTRAK_TRACE_FILE=self.windows_path(trace_path),
                           ZENTRAK_TRACE_LEVEL=str(trace_level),
                           ZENTRAK_TRACE_FLAGS=str(trace_flags))
        if sdk_journal:
            run_env.update(TESSEL_STANDIN_JOURNAL=self.windows_path(sdk_journal_path))
        if self.fixture is not None:
            run_env["TESSEL_STANDIN_FIXTURE"] = self.windows_path(self.fixture)
        run_env.update(self.run_env)
        run_env.update(env or {})
        process = subprocess.Popen(
            [self.loader, str(self.install_dir / "Launch.exe"), self.windows_path(launch_file)],
            env=run_env, cwd=workdir, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE)
        started = Started(process, workdir, trace_path, exit_file, sdk_journal_path,
                          comms_journal, time.monotonic(), self)
        self.started.append(started)
        return started

    def kill_programs(self) -> list:
        """SIGKILL to every Zentrak.exe of this bed's prefix (found by its command line and
        its WINEPREFIX); the killed process ids."""
        killed = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                cmdline = (entry / "cmdline").read_bytes().split(b"\0")
                environ = (entry / "environ").read_bytes().split(b"\0")
            except OSError:
                continue  # ended meanwhile
            if (any(arg.endswith(b"\\Zentrak.exe") for arg in cmdline)
                    and b"WINEPREFIX=" + bytes(self.prefix) in environ):
                try:
                    os.kill(int(entry.name), 9)
                    killed.append(int(entry.name))
                except ProcessLookupError:
                    pass
        return killed

    def run(self, args: Sequence[str] = (), **kwargs) -> RunResult:
        timeout = kwargs.get("timeout", 60.0)
        return self.start(args, **kwargs).wait(timeout=timeout + 30)

    def _collect(self, started: Started, stdout: bytes, stderr: bytes) -> RunResult:
        seconds = time.monotonic() - started.started_at
        lines = started.exit_file.read_text().split("\n") if started.exit_file.exists() else []
        text = lines[0] if lines else "missing"
        measures = dict(line.split("=", 1) for line in lines[1:] if "=" in line)
        if text == "timeout":
            code = None
        elif text.lstrip("-").isdigit():
            code = int(text)
        else:
            # Wine's own complaint, when it could not start the launcher, says why.
            raise RuntimeError("launcher did not run the program: %s; exit %s; stderr %r" % (
                text, started.process.returncode, stderr[-400:]))

        def read(name: str) -> Optional[bytes]:
            path = started.workdir / name
            return path.read_bytes() if path.exists() else None

        result = RunResult(code, stdout, stderr, read(OK_LOG), read(ERROR_LOG),
                           _read_traces(started.trace_file), seconds, started.workdir,
                           _read_json_lines(started.sdk_journal),
                           _read_json_lines(started.comms_journal),
                           int(measures.get("elapsed_us", 0)) / 1e6,
                           int(measures.get("peak_working_set", 0)),
                           _read_text(started.trace_file))
        self.results.append(result)
        return result


def _quote(arg: str) -> str:
    if arg and not any(c in arg for c in ' \t"'):
        return arg
    return '"%s"' % arg.replace('"', '\\"')


def log_lines(log: Optional[bytes]) -> list:
    """The messages of a test log: each is preceded by CR LF."""
    if log is None:
        return []
    assert log.startswith(b"\r\n"), log
    return log[2:].split(b"\r\n")


class Collector:
    """The local HTTP collector (tools/collector/collector.py) on one loopback address."""

    def __init__(self, scratch: Path, address: str, port: int = 80, serve: Optional[Path] = None,
                 script: Sequence[str] = (), proxy_user: Optional[str] = None,
                 proxy_password: Optional[str] = None, proxy: bool = False, wait: bool = True):
        """Starts the collector; with wait=False the caller calls wait_ready(), so that
        several start side by side."""
        token = uuid.uuid4().hex
        self.address, self.port = address, port
        self.record = scratch / ("collector-%s.jsonl" % token)
        self.ready = ready = scratch / ("collector-%s.ready" % token)
        args = ["/usr/bin/python3", str(REPO / "tools" / "collector" / "collector.py"),
                "--address", address, "--port", str(port), "--record", str(self.record),
                "--ready-file", str(ready), "--quiet"]
        if serve is not None:
            args += ["--serve", str(serve)]
        for item in script:
            args += ["--script", item]
        if proxy:
            args.append("--proxy")
        if proxy_user is not None:
            args += ["--proxy-user", proxy_user, "--proxy-password", proxy_password or ""]
        self.process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        if wait:
            self.wait_ready()

    def wait_ready(self) -> None:
        deadline = time.monotonic() + 10
        while not self.ready.exists():
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.process.kill()
                raise RuntimeError("collector on %s:%d did not start" % (self.address, self.port))
            time.sleep(0.02)

    def requests(self) -> list:
        return _read_json_lines(self.record)

    def signal_stop(self) -> None:
        """Asks the collector to stop without waiting for it; stop() then waits."""
        if self.process.poll() is None:
            self.process.terminate()

    def stop(self) -> None:
        self.signal_stop()
        if self.process.returncode is None:
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()  # its port must be free for the next scenario
                self.process.wait()
