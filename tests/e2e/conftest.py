"""Fixtures of the end-to-end scenarios: one Wine prefix for the whole run (scenarios
share it, so they run one after another) and a clean suite state for each scenario."""

import os
from pathlib import Path

import pytest

from winebed import REPO, WineBed


@pytest.fixture(scope="session")
def winebed() -> WineBed:
    build = Path(os.environ.get("ZENTRAK_BUILD_DIR", REPO / "build" / "cross"))
    bed = WineBed(build)
    bed.set_up()
    return bed


@pytest.fixture
def bed(winebed: WineBed) -> WineBed:
    """The test bed with no suite registry values, no repository folder and the host
    service running."""
    winebed.reset()
    return winebed


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
