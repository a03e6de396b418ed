"""Fixtures of the end-to-end scenarios: one Wine prefix for the whole run (scenarios
share it, so they run one after another) and a clean suite state for each scenario."""

import os
import subprocess
from pathlib import Path

import pytest

from winebed import REPO, WineBed, readable_trace


def default_build() -> Path:
    """The tree this machine runs the Windows-side suite on (scripts/windows-arch.sh)."""
    arch = subprocess.run([str(REPO / "scripts" / "windows-arch.sh")], check=True,
                          capture_output=True, text=True).stdout.strip()
    return REPO / "build" / ("cross" if arch == "x86" else "cross-x64")


@pytest.fixture(scope="session")
def winebed():
    """The bed of the build ZENTRAK_BUILD_DIR names (or of this machine's default), in the
    build's shared prefix or in a prefix of this file's own (ZENTRAK_E2E_PREFIX, set by
    lane.sh), which goes when the file is done."""
    build = Path(os.environ["ZENTRAK_BUILD_DIR"]) if "ZENTRAK_BUILD_DIR" in os.environ \
        else default_build()
    own = os.environ.get("ZENTRAK_E2E_PREFIX")
    bed = WineBed(build, Path(own) if own else None)
    bed.set_up()
    yield bed
    if own:
        bed.remove_prefix()


@pytest.fixture
def bed(winebed: WineBed) -> WineBed:
    """The test bed with no suite registry values, no repository folder and the host
    service running."""
    winebed.reset()
    return winebed


# The zones the time-dependent scenarios run in besides UTC: west of UTC, east with
# daylight saving, and beyond +12 hours.
ZONES = ["UTC", "America/Los_Angeles", "Europe/Madrid", "Pacific/Auckland"]


@pytest.fixture(params=ZONES)
def zone(bed, request) -> str:
    """Puts every run of the scenario in one zone; the scenario runs once per zone."""
    bed.zone = request.param
    return request.param


@pytest.fixture
def suite(bed):
    """Starts the stand-in suite (suite.start_suite) with the given fixture, event
    configuration and setup values; its collectors stop with the scenario."""
    from suite import start_suite

    started = []

    def start(**kwargs):
        started.append(start_suite(bed, **kwargs))
        return started[-1]

    yield start
    for s in started:
        s.stop()


# What the comms stand-in notes about the world rather than about the program's calls.
ENVIRONMENT_NOTES = ("file cannot be read", "ZENTRAK_COMMS_COLLECTOR is not set")


def protocol_errors(result) -> list:
    """The stand-ins' journal lines of a run that say the program called them wrongly:
    the SDK stand-in's "error" and "unexpected" events and an "unload" with objects the
    program never released, the comms stand-in's errors."""
    found = [line for line in result.sdk_journal
             if line.get("event") in ("error", "unexpected")
             or (line.get("event") == "unload" and line.get("live_objects") != 0)]
    for line in result.comms_journal:
        errors = [e for e in line.get("errors", []) if e not in ENVIRONMENT_NOTES]
        if errors or line.get("call") == "Unexpected":
            found.append(line)
    return found


@pytest.fixture(autouse=True)
def stand_ins_were_called_rightly(request):
    """Every scenario: no run left a protocol error in either stand-in's journal."""
    yield
    bed = request.node.funcargs.get("bed") or request.node.funcargs.get("winebed")
    for number, result in enumerate(getattr(bed, "results", []), 1):
        errors = protocol_errors(result)
        assert not errors, "run %d: the stand-ins were called wrongly: %s" % (number, errors)


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    """A failing scenario shows the readable trace of each of its runs, and the bed asks
    the host service's state again: the scenario may have left it in any state."""
    bed = getattr(item, "funcargs", {}).get("winebed")
    if call.when == "call" and call.excinfo is not None:
        for number, result in enumerate(getattr(bed, "results", []), 1):
            lines = readable_trace(result.traces) or ["(no trace line)"]
            item.add_report_section("call", "Zentrak trace of run %d" % number,
                                    "\n".join(lines))
    outcome = yield
    if outcome.get_result().failed and bed is not None:
        bed.service_known_running = False
