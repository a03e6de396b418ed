"""One run's world, drawn from a seed: what the stand-in SDK answers and holds, what the
comms stand-in and the configuration server do, the registry, the environment, the disk
and the state file, the zone, and whether the run is killed or meets a second copy. The
same seed always draws the same world."""

from __future__ import annotations

import hashlib
import json
import random
from dataclasses import dataclass, field
from datetime import datetime, timedelta, timezone
from typing import Optional

ZONES = ["UTC", "America/Los_Angeles", "Europe/Madrid", "Pacific/Auckland", "Asia/Kolkata",
         "America/St_Johns"]
SELECTED = [0x100003, 0x100004, 0x100005, 0x100007, 0x10001B, 0x200005]
OTHER_EVENTS = [0x100006, 0, -1, 0x7FFFFFFF]
# Texts with what a JSON writer and a test log must survive.
ODD_TEXTS = ["plain", 'with "quotes"', "back\\slash", "tab\there", "new\nline", "\u00e9t\u00e9",
             "\u4e2d\u6587", "\u0001control", "", "x" * 300]
# Calls of the SDK stand-in a fault rule may hit, and what such a call may answer.
SDK_CALLS = ["HostEntry.1", "HostEntry.3", "Configuration.3", "License.3", "LicenceMap.4",
             "LicenceMap.10", "LicenceMap.11", "LicenceMap.12", "Reports.1", "Reports.4",
             "ExtendedAction.7", "DateTimeFilterObject.20", "DateTimeFilterObject.21",
             "List.4", "List.5", "List.10", "EntryMap.12", "DateValue.20"]
HRESULTS = ["0x1", "0x80004005", "0x80020005", "0x8007000E"]
ODD_VALUES = [{"vt": "i2", "value": 7}, {"vt": "i8", "value": "4294967301"}, "text", None,
              {"vt": "empty"}, {"vt": "bool", "value": True}, {"vt": "r8", "value": 1.5},
              {"vt": "dispatch_null"}, {"A": 1}]
PROGIDS = ["Tessel.Configuration", "Tessel.License", "Tessel.Reports", "Tessel.ExtendedAction",
           "Tessel.DateTimeFilterObject", "Tessel.List", "Tessel.StringMap", "VPN_GetTraffic"]
COMMS_OPERATIONS = ["GetUtil", "OpenChannel", "TransferFile", "CloseChannel", "SetProxy",
                    "CreateTrackRequest", "SetTrackFields", "BeginParameters",
                    "AddTrackParameter:1", "AddTrackParameter:3", "SendTrack"]
# Paths of the configuration server and what it answers there (the collector's scripts).
CONFIG_ANSWERS = {"404": "404", "500": "500", "401": "401", "cut": "cut", "close": "close",
                  "empty": "empty", "huge": "huge", "endless": "endless"}
MiB = 1024 * 1024


@dataclass
class World:
    seed: int
    zone: str
    args: list
    setup: dict                      # values of the setup key (None: removed)
    uids: dict
    host: dict                       # the service host key ("zentrak_backup")
    agent: dict                      # the agent key ("Hostname")
    folders: list                    # "Dumps", "Backup" made on C:
    state: Optional[bytes]           # EvtsData.ini as written before the run; None: none
    repository_is_file: bool         # a file where the repository folder should be
    config_name: str                 # the served name, or an answer's path
    config: Optional[bytes]          # the served configuration
    config_variable: Optional[str]   # "cfgeventfile": the URL or path; None: unset
    digest_variable: Optional[str]   # "filemd5"
    fixture: dict
    comms_fail: list
    comms_delay_ms: int
    kill_after: Optional[float]      # seconds: the run's time limit, then terminated
    second_copy: bool
    kinds: list = field(default_factory=list)  # the faults drawn, for the figures
    read_only_repository: bool = False  # the repository and its files cannot be written
    stats_refused: bool = False      # nothing listens where the VPN event is posted


def utc_now() -> datetime:
    return datetime.now(timezone.utc).replace(microsecond=0)


def state_text(sections: dict) -> bytes:
    return "".join("[%s]\r\n" % name + "".join("%s=%s\r\n" % kv for kv in keys.items())
                   for name, keys in sections.items()).encode("latin-1")


def draw(seed: int, now: Optional[datetime] = None) -> World:
    r = random.Random(seed)
    now = now or utc_now()
    kinds = []

    def chance(p: float, kind: str) -> bool:
        hit = r.random() < p
        if hit:
            kinds.append(kind)
        return hit

    zone = r.choice(ZONES)
    args = ["/TestMode"] if r.random() < 0.85 else []
    if chance(0.15, "uninstall"):
        args.append("/UNINSTALL")

    # The registry.
    setup = {"Path": r"C:\Zentrak", "MainProductID": r.choice([1200, 0, -1, "1200"]),
             "VersionType": r.choice([3, 0, 7]), "CustomID": r.choice(["5", "77abc", "", "x" * 300])}
    if chance(0.03, "setup-path"):
        setup["Path"] = r.choice([None, 7, "C:\\Nowhere", "y" * 300])
    if chance(0.3, "dump"):
        setup["DumpJSONs"] = r.choice([1, "1", 0])
        setup["DumpJSONsPath"] = r.choice([r"C:\Dumps", r"C:\NoSuchDumps", None, "z" * 300,
                                           r"\\server\share"])
    uids = {"InstUID": r.choice(["IU-1", None, "", "q" * 300]),
            "MUID": r.choice(["MUID-OLD", None])}
    host = {}
    if chance(0.2, "backup"):
        host["zentrak_backup"] = r.choice([r"C:\Backup", r"C:\NoSuchBackup", 3, "",
                                           r"\\server\share"])
    agent = {"Hostname": r.choice([None, "123456789", "n" * 200, 77])} if r.random() < 0.3 else {}
    folders = [f for f in ("Dumps", "Backup") if r.random() < 0.7]

    # The state file.
    state: Optional[bytes] = None
    kind = r.choice(["none", "none", "valid", "valid", "valid", "garbage", "huge", "stale"])
    if kind != "none":
        kinds.append("state-" + kind)
    if kind in ("valid", "stale"):
        back = timedelta(hours=r.choice([1, 5, 30, 100, 2000])) if kind == "valid" else \
            timedelta(days=r.choice([400, -3]))
        mark = (now - back).strftime("%Y-%m-%dT%H:%M:%S")
        sections = {"GLOBAL": {"lastExec": mark}}
        if r.random() < 0.5:
            sections["GLOBAL"]["lastTrack"] = r.choice([mark, ""])
        if r.random() < 0.5:
            sections["EVT1"] = {"instDateTime": r.choice(["", mark]), "Send": "1"}
        if r.random() < 0.5:
            sections["VPN_Status"] = {"VPNEvent80": str(r.randint(0, 31)),
                                      "VPNEvent100": str(r.randint(0, 31))}
        state = state_text(sections)
    elif kind == "garbage":
        state = bytes(r.randrange(256) for _ in range(r.randint(1, 400)))
    elif kind == "huge":
        state = b"".join(b"[S%d]\r\nk=%s\r\n" % (i, b"v" * 100) for i in range(2000)) + \
            state_text({"GLOBAL": {"lastExec": "2026-13-40T99:99:99"}})
    repository_is_file = chance(0.02, "repository-is-a-file")
    read_only_repository = state is not None and not repository_is_file and \
        chance(0.05, "read-only-repository")

    # The event configuration, its source and its digest.
    filters = [{"DetectionID": "any", "MalwareID": "any"}]
    if r.random() < 0.3:
        filters = [{"DetectionID": str(r.randint(1, 20)), "MalwareID": r.choice(["any", "5"])}
                   for _ in range(r.randint(0, 3))]
    config_doc = {"DetectionsToEvent": filters, "DetectionsToTrack": filters,
                  "SendDetectionEvent": r.choice(["true", "false"]),
                  "SendDetectionTrack": r.choice(["true", "false"]),
                  "VPNEvent80": "true", "VPNEvent100": r.choice(["true", "false"])}
    if r.random() < 0.7:
        config_doc["ExpirationDays"] = r.choice([0, 1, 30, -5])
    config = json.dumps(config_doc).encode()
    if chance(0.05, "config-unknown-member"):
        config = json.dumps(dict(config_doc, Surprise=1)).encode()
    if chance(0.04, "config-not-json"):
        config = r.choice([b"{", b"not json", b"[" * 5000, b""])
    config_name = "events-%d.json" % seed
    if chance(0.1, "config-server"):
        config_name = r.choice(sorted(CONFIG_ANSWERS))
    config_variable: Optional[str] = "http://127.0.0.13/cfg/" + config_name
    digest_variable: Optional[str] = hashlib.md5(config).hexdigest()
    if chance(0.05, "config-from-a-path"):
        config_variable = r"C:\cfgsrc\%s" % config_name
    if chance(0.04, "config-variable"):
        config_variable = r.choice([None, "h" * 600])
    if chance(0.12, "digest"):
        digest_variable = r.choice(["0", "0x0", "ffffffffffffffffffffffffffffffff", None, "d" * 100])

    # The stand-in SDK.
    installed = now - timedelta(hours=r.choice([1, 30, 47, 49, 200, -5]))
    reports = []
    count = r.choice([0, 0, 1, 3, 11, 49, 50, 51, 120, 600])
    if chance(0.02, "reports-thousands"):
        count = r.choice([1500, 3000])
    ids = [r.randint(1, 30) for _ in range(max(count, 1))]
    for i in range(count):
        when = now - timedelta(minutes=r.randint(-30, 3000))
        entry = {"EventId": r.choice(SELECTED) if r.random() < 0.85 else r.choice(OTHER_EVENTS),
                 "ReportDateTime": when, "DetectionID": r.choice(ids), "MalwareID": r.randint(1, 9)}
        if r.random() < 0.03:
            entry["ReportDateTime"] = r.choice([7, {"vt": "date", "value": when.strftime(
                "%Y-%m-%dT%H:%M:%S")}, {"vt": "empty"}, {"vt": "date_object", "value": 0}])
            kinds.append("report-odd-date")
        if r.random() < 0.03:
            entry["DetectionID"] = r.choice(ODD_VALUES)
            kinds.append("report-odd-id")
        reports.append(entry)
    config_items = {"0x4009701": r.choice(["MUID-0001", "M\"U\\I\nD", "\u00e9\u4e2d", "M" * 300]),
                    "0x4009025": 77, "0x4009015": r.choice(["18.04.00.0000", 'v"1', ""]),
                    "0x4009028": 5, "0x400904B": "ES", "0x4009019": "es-ES",
                    "0x400902A": 3, "0x400905B": 1200, "0x4009703": 10, "0x4009704": 0,
                    "0x4009705": 0, "0x4009706": 0, "0x4009702": 1, "0x4009707": True}
    if chance(0.15, "proxy"):
        config_items.update({"0x4009014": "127.0.0.15:8080", "0x4009012": r.choice(["", "u"]),
                             "0x4009013": r.choice(["", "p"])})
    for _ in range(r.choice([0, 0, 0, 1, 2])):
        item = r.choice(sorted(config_items))
        config_items[item] = r.choice(ODD_VALUES)
        kinds.append("config-item-odd")
    products = {}
    for p in range(r.choice([0, 1, 2, 3])):
        product = {"VersionType": r.choice([3, 1, {"vt": "i8", "value": 5}, "x"])}
        if r.random() < 0.7:
            product["MyAccountID"] = r.choice(ODD_TEXTS)
        licences = {}
        for l in range(r.randint(0, 3)):
            licence = {"ClientID": r.choice(ODD_TEXTS)}
            if r.random() < 0.7:
                licence["VersionType"] = {"vt": "ui4", "value": r.randint(0, 5)}
            if r.random() < 0.5:
                licence["ActivationDate"] = {"vt": "date", "value": "2019-01-02T00:00:00"}
            licences["AC-%d-%d" % (p, l)] = licence
        product["Licenses"] = licences
        products["P%d%s" % (p, r.choice(["", "\"", "\u00e9"]))] = product
    if not products:
        kinds.append("no-products")
    fixture = {"installed": installed, "config": config_items, "products": products,
               "reports": reports, "filter_by_date": r.random() < 0.5}
    if r.random() < 0.8:
        fixture["vpn"] = {"TrafficIsUnlimited": r.choice([False, False, True, "maybe"]),
                          "TrafficRemaining": r.choice([{"vt": "i8", "value": 0},
                                                        {"vt": "i8", "value": 100 * MiB},
                                                        {"vt": "i8", "value": -1}, "x"]),
                          "TrafficLimit": r.choice([{"vt": "i8", "value": 10240 * MiB},
                                                    {"vt": "i8", "value": 0}, None])}
    faults = []
    for _ in range(r.choice([0, 0, 1, 1, 2, 3])):
        rule = {"call": r.choice(SDK_CALLS), "hresult": r.choice(HRESULTS)}
        if r.random() < 0.3:
            rule = {"call": rule["call"], "hresult": "0x0", "value": r.choice(ODD_VALUES)}
        if r.random() < 0.3:
            rule["from"] = r.randint(1, 5)
        faults.append(rule)
        kinds.append("sdk-fault")
    if chance(0.05, "sdk-slow"):
        # Answered as usual, only late; a few calls, so that a List.10 rule cannot make the
        # run last for ever.
        faults.append({"call": r.choice(SDK_CALLS), "hresult": "0x0", "keep_result": True,
                       "delay_ms": r.choice([100, 500, 2000]), "count": r.randint(1, 3)})
    if faults:
        fixture["faults"] = faults
    if chance(0.08, "missing-progid"):
        fixture["missing_progids"] = r.sample(PROGIDS, r.randint(1, 2))

    # The comms stand-in.
    comms_fail = []
    if chance(0.2, "comms-fail"):
        comms_fail = r.sample(COMMS_OPERATIONS, r.randint(1, 2))
    comms_delay_ms = 300 if chance(0.05, "comms-slow") else 0

    # Time and other copies.
    kill_after = r.uniform(0.05, 1.5) if chance(0.06, "kill") else None
    second_copy = kill_after is None and chance(0.05, "second-copy")
    stats_refused = chance(0.05, "stats-refused")

    return World(seed, zone, args, setup, uids, host, agent, folders, state, repository_is_file,
                 config_name, config, config_variable, digest_variable, fixture, comms_fail,
                 comms_delay_ms, kill_after, second_copy, kinds,
                 read_only_repository=read_only_repository, stats_refused=stats_refused)
