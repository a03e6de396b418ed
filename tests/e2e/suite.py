"""A stand-in suite for the scenarios that run the whole job: SDK fixtures, the event
configuration served over HTTP, and collectors on the program's endpoints."""

from __future__ import annotations

import hashlib
import json
from dataclasses import dataclass, field
from datetime import datetime, timedelta, timezone
from pathlib import Path
from typing import Optional

from winebed import Collector, WineBed

TRACKING_HOST = "127.0.0.11"   # the build's tracking host
STATS_HOST = "127.0.0.12"      # the build's statistics host
CONFIG_HOST = "127.0.0.13"     # serves the event configuration
UPLOAD_HOST = "127.0.0.14"     # receives the documents the comms stand-in delivers

MUID = "MUID-0001"
SUITE_ID = 77
SUITE_VERSION = "18.04.00.0000"
CUSTOM_ID = 5
PRODUCT_CODE = 1200
PRODUCT_TYPE = 3

def report(event_id: int, when: datetime, detection: int, malware: int) -> dict:
    """A report entry at an instant; the bed gives the SDK its wall time in the run's
    zone (winebed.localized)."""
    return {"EventId": event_id, "ReportDateTime": when, "DetectionID": detection,
            "MalwareID": malware}


def utc_now() -> datetime:
    return datetime.now(timezone.utc).replace(microsecond=0)


def sdk_fixture(installed: Optional[datetime] = None, reports: Optional[list] = None,
                vpn: Optional[dict] = None, **extra) -> dict:
    installed = installed or utc_now() - timedelta(hours=2)
    config = {
        "0x4009701": MUID, "0x4009025": SUITE_ID, "0x4009015": SUITE_VERSION,
        "0x4009028": CUSTOM_ID, "0x400904B": "ES", "0x4009019": "es-ES",
        "0x400902A": PRODUCT_TYPE, "0x400905B": PRODUCT_CODE,
        "0x4009703": 10, "0x4009704": 0, "0x4009705": 0, "0x4009706": 0, "0x4009702": 1,
        "0x4009707": True,
    }
    fixture = {
        "installed": installed,  # an instant: the bed writes the SDK's local FILETIME
        "config": config,
        "products": {
            "KSUITE": {"VersionType": 3, "MyAccountID": "owner@example.test",
                       "Licenses": {"AC-111": {"ClientID": "C-1", "ProductLicenseID": "PL-1",
                                               "VersionType": {"vt": "ui4", "value": 2},
                                               "ActivationDate": {"vt": "date",
                                                                  "value": "2018-03-26T00:00:00"}}}},
            "KVPN": {"VersionType": 1, "ClientID": "C-2", "ActivationCode": "AC-222",
                     "ActivationDate": {"vt": "date", "value": "2019-01-02T00:00:00"}},
        },
        "reports": reports or [],
    }
    if vpn is not None:
        fixture["vpn"] = vpn
    fixture.update(extra)
    return fixture


DEFAULT_CONFIG = {
    "DetectionsToEvent": [{"DetectionID": "any", "MalwareID": "any"}],
    "DetectionsToTrack": [{"DetectionID": "any", "MalwareID": "any"}],
    "SendDetectionEvent": "true", "SendDetectionTrack": "true",
    "VPNEvent80": "true", "VPNEvent100": "true", "ExpirationDays": 30,
}


@dataclass
class Suite:
    bed: WineBed
    tracking: Collector
    stats: Collector
    config: Collector
    upload: Collector
    served: Path
    collectors: list = field(default_factory=list)

    def serve_config(self, content, name: str = "events.json") -> None:
        """Serves the event configuration and points the run's variables at it."""
        data = content if isinstance(content, bytes) else json.dumps(content).encode()
        (self.served / "cfg").mkdir(parents=True, exist_ok=True)
        (self.served / "cfg" / name).write_bytes(data)
        self.bed.run_env.update(cfgeventfile="http://%s/cfg/%s" % (CONFIG_HOST, name),
                                filemd5=hashlib.md5(data).hexdigest())

    def documents(self) -> list:
        """The "DeviceEvents" documents the comms stand-in delivered, parsed."""
        return [json.loads(r["body"]) for r in self.upload.requests() if r["method"] == "POST"]

    def tracks(self, kind: Optional[str] = None) -> list:
        found = [r for r in self.tracking.requests() if r["kind"].startswith("track")]
        return [r for r in found if kind is None or r["kind"] == kind]

    def vpn_posts(self) -> list:
        return [r for r in self.stats.requests() if r["kind"] == "vpn"]

    def stop(self) -> None:
        collectors = (self.tracking, self.stats, self.config, self.upload)
        for c in collectors:
            c.signal_stop()
        for c in collectors:
            c.stop()


def detection_ids(s: Suite) -> list:
    """The "DetectionID" of every detection track the collector received, in order."""
    return [dict(t["query"])["DetectionID"] for t in s.tracks("track-detections")]


def documented_ids(document: dict) -> list:
    """The "DetectionID" of every detection a "DeviceEvents" document carries, in order."""
    return [d["DetectionID"] for e in document["DeviceEvents"] if e["EventType"] == "Detection"
            for d in e["DetectionsInfo"]]


def start_suite(bed: WineBed, fixture: Optional[dict] = None, config=None,
                setup: Optional[dict] = None) -> Suite:
    bed.install_suite(fixture if fixture is not None else sdk_fixture(), setup)
    served = bed.new_workdir("served")
    collectors = [Collector(bed.scratch, TRACKING_HOST, wait=False),
                  Collector(bed.scratch, STATS_HOST, wait=False),
                  Collector(bed.scratch, CONFIG_HOST, serve=served, wait=False),
                  Collector(bed.scratch, UPLOAD_HOST, wait=False)]
    try:
        for c in collectors:
            c.wait_ready()
    except RuntimeError:
        for c in collectors:
            c.stop()
        raise
    suite = Suite(bed, *collectors, served)
    bed.run_env.update(ZENTRAK_COMMS_DELIVER="1",
                       ZENTRAK_COMMS_COLLECTOR="http://%s/upload" % UPLOAD_HOST)
    suite.serve_config(config if config is not None else DEFAULT_CONFIG)
    return suite
