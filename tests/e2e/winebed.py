"""The Wine test bed: a Windows installation owned by the test run, the programs
installed in it, the suite's registry values, the stand-in host service, and one call
that runs Zentrak.exe and collects what the run left behind.

Used by the end-to-end scenarios (through conftest.py) and by the demo (demo.py).
"""

from __future__ import annotations

import json
import os
import shutil
import subprocess
import tempfile
import time
import uuid
from dataclasses import dataclass, field
from pathlib import Path
from typing import Iterable, Mapping, Optional, Sequence, Union

REPO = Path(__file__).resolve().parents[2]

HKLM = "HKEY_LOCAL_MACHINE"
SETUP_KEY = HKLM + r"\SOFTWARE\Kelvo Software\Setup"
UIDS_KEY = SETUP_KEY + r"\UIDS"
SERVICE_HOST_KEY = HKLM + r"\Software\Kelvo Security\Kelvo Service Host"
AGENT_DEFAULTS_KEY = HKLM + r"\Software\Kelvo Security\Orvix Agent\Config\Services\DEFAULTS"
# Everything the suite writes: removed before each scenario.
SUITE_KEYS = (HKLM + r"\SOFTWARE\Kelvo Software", HKLM + r"\Software\Kelvo Security")
# The .NET Framework setup's key. The prefix has none (Wine's Mono is not installed);
# scenarios that write one have it removed before the next.
DOTNET_SETUP_KEY = HKLM + r"\SOFTWARE\Microsoft\NET Framework Setup"

SERVICE_NAME = "VelkorServiceMain"
OK_LOG = "TestZentrak_OK.log"
ERROR_LOG = "TestZentrak_ERROR.log"

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

    def wait_for_trace(self, unit: str, number: int, timeout: float = 30.0) -> bool:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if any(t["unit"] == unit and t["n"] == number for t in self.traces()):
                return True
            if self.process.poll() is not None:
                return False
            time.sleep(0.05)
        return False

    def wait(self, timeout: float = 120.0) -> RunResult:
        stdout, stderr = self.process.communicate(timeout=timeout)
        return self.bed._collect(self, stdout, stderr)


def _read_json_lines(path: Path) -> list:
    return _read_traces(path)


def _read_traces(path: Path) -> list:
    if not path.exists():
        return []
    lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
    return [json.loads(line) for line in lines if line.strip()]


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


class WineBed:
    def __init__(self, build_dir: Path, prefix: Optional[Path] = None):
        self.build_dir = Path(build_dir).resolve()
        self.bin_dir = self.build_dir / "bin"
        self.prefix = Path(prefix or self.build_dir / "wineprefix").resolve()
        self.drive_c = self.prefix / "drive_c"
        self.install_dir = self.drive_c / "Zentrak"
        self.scratch = self.build_dir / "e2e-scratch"
        self.env = dict(os.environ)
        self.env.update(
            WINEPREFIX=str(self.prefix),
            WINEARCH="win32",
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=",
        )
        for name in ("ZENTRAK_TRACE_FILE", "ZENTRAK_TRACE_LEVEL", "ZENTRAK_TRACE_FLAGS",
                     "ZENTRAK_COMMS_DELAY_MS", "cfgeventfile", "filemd5",
                     "TESSEL_STANDIN_FIXTURE", "TESSEL_STANDIN_JOURNAL", "ZENTRAK_COMMS_JOURNAL",
                     "ZENTRAK_COMMS_FAIL", "ZENTRAK_COMMS_DELIVER", "ZENTRAK_COMMS_COLLECTOR"):
            self.env.pop(name, None)
        # Per scenario: the stand-in SDK's fixture and variables every run gets.
        self.fixture: Optional[Path] = None
        self.run_env: dict = {}

    # -- the installation ------------------------------------------------------------

    def ensure_prefix(self) -> None:
        subprocess.run([str(REPO / "scripts" / "wine-prefix.sh"), str(self.prefix)], check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)

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
        for name in ("Zentrak.exe", "HostService.exe", "Launch.exe", "Baseline.exe"):
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
        result = subprocess.run(["wine", *args], env=self.env, cwd=cwd, timeout=timeout,
                                stdin=subprocess.DEVNULL, capture_output=True)
        if check and result.returncode != 0:
            raise RuntimeError("wine %s failed (%d): %s" % (
                " ".join(args), result.returncode, result.stderr.decode(errors="replace")))
        return result

    # -- registry --------------------------------------------------------------------

    def registry(self, values: Mapping[str, Mapping[str, Value]] = None,
                 delete_keys: Sequence[str] = ()) -> None:
        """Writes values (key -> {name: value}) and deletes keys in one regedit call."""
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key in delete_keys:
            lines += ["[-%s]" % key, ""]
        for key, named in (values or {}).items():
            lines.append("[%s]" % key)
            lines += [_reg_line(name, value) for name, value in named.items()]
            lines.append("")
        path = self.scratch / ("reg-%s.reg" % uuid.uuid4().hex)
        path.write_bytes(("\r\n".join(lines) + "\r\n").encode("utf-16"))
        try:
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
            self.wine("sc", "create", SERVICE_NAME, "binpath=", r"C:\Zentrak\HostService.exe")

    def service_start(self) -> None:
        self.service_install()
        if self.service_state() != "RUNNING":
            self.wine("net", "start", SERVICE_NAME)
        self._wait_service("RUNNING")

    def service_stop(self) -> None:
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
        """Removes the suite's registry keys and everything the program keeps on disk."""
        self.registry(delete_keys=SUITE_KEYS + (DOTNET_SETUP_KEY,))
        shutil.rmtree(self.drive_c / "ProgramData" / "Kelvo Security", ignore_errors=True)
        self.fixture = None
        self.run_env = {}

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
        self.fixture = self.scratch / ("fixture-%s.json" % uuid.uuid4().hex)
        self.fixture.write_text(json.dumps(fixture), encoding="utf-8")

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
        run_env.update(ZENTRAK_COMMS_JOURNAL=self.windows_path(comms_journal))
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
            ["wine", str(self.install_dir / "Launch.exe"), self.windows_path(launch_file)],
            env=run_env, cwd=workdir, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE)
        return Started(process, workdir, trace_path, exit_file, sdk_journal_path, comms_journal,
                       time.monotonic(), self)

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
            raise RuntimeError("launcher did not run the program: %s" % text)

        def read(name: str) -> Optional[bytes]:
            path = started.workdir / name
            return path.read_bytes() if path.exists() else None

        return RunResult(code, stdout, stderr, read(OK_LOG), read(ERROR_LOG),
                         _read_traces(started.trace_file), seconds, started.workdir,
                         _read_json_lines(started.sdk_journal),
                         _read_json_lines(started.comms_journal),
                         int(measures.get("elapsed_us", 0)) / 1e6,
                         int(measures.get("peak_working_set", 0)))


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
                 proxy_password: Optional[str] = None, proxy: bool = False):
        token = uuid.uuid4().hex
        self.address, self.port = address, port
        self.record = scratch / ("collector-%s.jsonl" % token)
        ready = scratch / ("collector-%s.ready" % token)
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
        deadline = time.monotonic() + 10
        while not ready.exists():
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("collector on %s:%d did not start" % (address, port))
            time.sleep(0.02)

    def requests(self) -> list:
        return _read_json_lines(self.record)

    def stop(self) -> None:
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)
