#!/usr/bin/env python3
"""Many faults at once: whole runs of the real Zentrak.exe under Wine, each in a world drawn
from a seed (world.py), with the invariants checked after every run. A failure prints its
seed; --seed S --runs 1 replays that run.

Usage: campaign.py --build BUILD [--seconds N | --runs N] [--seed S] [--lanes K] [--verbose]

Each lane runs in a network and mount namespace and a Wine prefix of its own (as the
scenario files do), its seeds S+lane, S+lane+K, ...; the figures are printed at the end
and written to --figures FILE as JSON.
"""

from __future__ import annotations

import argparse
import fcntl
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import time
from collections import Counter
from contextlib import contextmanager
from pathlib import Path
from typing import Optional

HERE = Path(__file__).resolve().parent
REPO = HERE.parents[1]
sys.path.insert(0, str(REPO / "tests" / "e2e"))
sys.path.insert(0, str(HERE))

from world import CONFIG_ANSWERS, World, draw, utc_now  # noqa: E402

# Members of each event object, in order ("InstUID" only with an InstUID).
INSTALLATION = ["EventType", "MUID", "OSInfo", "SuiteID", "SuiteVersion", "SuiteVersionNumber",
                "Country", "Language", "CustomID", "InstUID", "Products"]
DETECTION = ["EventType", "MUID", "InstUID", "DetectionsInfo"]
DETECTION_INFO = ["DateTime", "DetectionID", "MalwareID"]
TRACK_FIELDS = ["product_code", "suite_version", "product_type", "machine_id", "custom_id",
                "event_type"]
# The run's own early stops (exit code -1): another copy, no host service, no SDK, no
# repository folder; no comms library shows in the comms journal.
EARLY_STOP_TRACES = {11, 12, 13, 29}


class Violation(Exception):
    pass


def check(condition: bool, what: str) -> None:
    if not condition:
        raise Violation(what)


def ordered_subset(members: list, order: list) -> bool:
    """The members appear in the given order, each known, with only optional ones left out."""
    positions = [order.index(m) if m in order else -1 for m in members]
    return -1 not in positions and positions == sorted(positions)


def parse_ordered(body: str):
    return json.loads(body, object_pairs_hook=lambda pairs: pairs)


def check_document(body: str) -> list:
    document = parse_ordered(body)  # raises on invalid JSON
    check([k for k, _ in document] == ["DeviceEvents"], "document frame %r" % body[:80])
    events = document[0][1]
    kinds = []
    for event in events:
        keys = [k for k, _ in event]
        kind = dict(event)["EventType"]
        kinds.append(kind)
        if kind in ("Installation", "Uninstallation"):
            check(ordered_subset(keys, INSTALLATION) and len(keys) >= len(INSTALLATION) - 1,
                  "installation members %s" % keys)
        elif kind == "Detection":
            check(ordered_subset(keys, DETECTION) and keys[-1] == "DetectionsInfo",
                  "detection members %s" % keys)
            infos = dict(event)["DetectionsInfo"]
            check(1 <= len(infos) <= 11, "%d detections in one document" % len(infos))
            for info in infos:
                check([k for k, _ in info] == DETECTION_INFO, "detection info %s" % info)
        else:
            raise Violation("unknown event %r" % kind)
    check(kinds == sorted(kinds, key=["Installation", "Detection", "Uninstallation"].index),
          "event order %s" % kinds)
    return kinds


TRACK_CALLS = {"SetTrackFields", "AddTrackParameter", "BeginParameters", "SendTrack"}


def detection_track_failed(journal: list) -> bool:
    """A call of a detection track (one whose fields say "detection") failed in the comms
    stand-in's journal."""
    kind = None
    for line in journal:
        if line.get("call") == "SetTrackFields":
            kind = line.get("event_type")
        if line.get("call") in TRACK_CALLS and kind == "detection" and not line.get("result"):
            return True
    return False


class Lane:
    """One Wine prefix with the stand-in suite's collectors, running world after world."""

    def __init__(self, build: Path, prefix: Optional[Path]):
        from winebed import Collector, WineBed
        self.bed = WineBed(build, prefix)
        self.bed.set_up()
        self.served = self.bed.new_workdir("chaos-served")
        (self.served / "cfg").mkdir(parents=True, exist_ok=True)
        scripts = ["/cfg/%s=%s" % (name, answer) for name, answer in CONFIG_ANSWERS.items()]
        self.collectors = {
            "tracking": Collector(self.bed.scratch, "127.0.0.11", wait=False),
            "stats": Collector(self.bed.scratch, "127.0.0.12", wait=False),
            "config": Collector(self.bed.scratch, "127.0.0.13", serve=self.served,
                                script=scripts, wait=False),
            "upload": Collector(self.bed.scratch, "127.0.0.14", wait=False),
            "proxy": Collector(self.bed.scratch, "127.0.0.15", 8080, proxy=True, wait=False),
        }
        for c in self.collectors.values():
            c.wait_ready()
        self.seen = {name: 0 for name in self.collectors}

    def stop(self) -> None:
        for c in self.collectors.values():
            c.stop()

    def new_requests(self) -> dict:
        fresh = {}
        for name, c in self.collectors.items():
            requests = c.requests()
            fresh[name] = requests[self.seen[name]:]
            self.seen[name] = len(requests)
        return fresh

    def prepare(self, world: World) -> None:
        from winebed import AGENT_DEFAULTS_KEY, SERVICE_HOST_KEY, SETUP_KEY, UIDS_KEY
        bed = self.bed
        bed.reset()
        bed.zone = world.zone
        values = {SETUP_KEY: world.setup, UIDS_KEY: world.uids}
        if world.host:
            values[SERVICE_HOST_KEY] = world.host
        if world.agent:
            values[AGENT_DEFAULTS_KEY] = world.agent
        bed.registry(values)
        bed.agent_folder.mkdir(parents=True, exist_ok=True)
        for folder in world.folders:
            (bed.drive_c / folder).mkdir(exist_ok=True)
        if world.repository_is_file:
            bed.repository.parent.mkdir(parents=True, exist_ok=True)
            bed.repository.write_bytes(b"a file, not a folder")
        elif world.state is not None:
            bed.repository.mkdir(parents=True, exist_ok=True)
            bed.state_file.write_bytes(world.state)
        (self.served / "cfg" / world.config_name).write_bytes(world.config)
        if world.config_variable and world.config_variable.startswith("C:"):
            source = bed.drive_c / "cfgsrc"
            source.mkdir(exist_ok=True)
            (source / world.config_name).write_bytes(world.config)
        bed.set_fixture(world.fixture)
        env = {"ZENTRAK_COMMS_DELIVER": "1",
               "ZENTRAK_COMMS_COLLECTOR": "http://127.0.0.14/upload"}
        if world.config_variable is not None:
            env["cfgeventfile"] = world.config_variable
        if world.digest_variable is not None:
            env["filemd5"] = world.digest_variable
        if world.comms_fail:
            env["ZENTRAK_COMMS_FAIL"] = ",".join(world.comms_fail)
        if world.comms_delay_ms:
            env["ZENTRAK_COMMS_DELAY_MS"] = str(world.comms_delay_ms)
        bed.run_env = env

    def outside_files(self) -> dict:
        """Files on C: outside the places the program may write (Wine's own folders left
        out), with their size and time."""
        drive = self.bed.drive_c
        allowed = {"windows", "users", "ProgramData", "Program Files", "Program Files (x86)",
                   "Dumps", "Backup", "work", "cfgsrc", "ZentrakDump.json"}
        found = {}
        for top in drive.iterdir():
            if top.name in allowed or top.name.startswith("Zentrak_"):
                continue
            for path in [top, *top.rglob("*")] if top.is_dir() else [top]:
                if path.is_file():
                    stat = path.stat()
                    found[str(path)] = (stat.st_size, stat.st_mtime_ns)
        programdata = drive / "ProgramData"
        for path in programdata.rglob("*") if programdata.exists() else []:
            if "Kelvo Security" not in path.parts and path.is_file():
                stat = path.stat()
                found[str(path)] = (stat.st_size, stat.st_mtime_ns)
        return found

    def run(self, world: World) -> dict:
        self.prepare(world)
        with self.unwritable_and_unreachable(world):
            return self.observe(world)

    @contextmanager
    def unwritable_and_unreachable(self, world: World):
        """The repository and its files made immutable (as root, Wine ignores permission
        bits), and the statistics collector stopped, for one run; undone whatever happens,
        or the next world could not clean up."""
        bed = self.bed
        frozen = []
        if world.read_only_repository and bed.repository.is_dir():
            frozen = [str(bed.repository), *(str(p) for p in bed.repository.iterdir())]
            subprocess.run(["chattr", "+i", *frozen], check=True, capture_output=True)
        if world.stats_refused:
            self.collectors["stats"].stop()
        try:
            yield
        finally:
            if frozen:
                subprocess.run(["chattr", "-i", *frozen], check=True, capture_output=True)
            if world.stats_refused:
                from winebed import Collector
                self.collectors["stats"] = Collector(bed.scratch, "127.0.0.12")
                self.seen["stats"] = 0

    def observe(self, world: World) -> dict:
        from conftest import protocol_errors
        bed = self.bed
        before_state = bed.state() if not world.repository_is_file else {}
        before_files = self.outside_files()
        self.new_requests()  # what earlier worlds left is not this run's
        workdir = bed.drive_c / "work" / "run"
        workdir.mkdir(parents=True, exist_ok=True)
        second = None
        timeout = world.kill_after if world.kill_after is not None else 90
        started = bed.start(world.args, workdir=workdir, timeout=timeout)
        if world.second_copy:
            time.sleep(0.1)
            other = bed.drive_c / "work" / "second"
            other.mkdir(parents=True, exist_ok=True)
            second = bed.start(world.args, workdir=other, timeout=90)
        result = started.wait(timeout=timeout + 60)
        results = [result]
        if second is not None:
            results.append(second.wait(timeout=150))
        time.sleep(0.05)
        requests = self.new_requests()
        after_state = bed.state() if bed.state_file.exists() and not bed.repository.is_file() \
            else {}

        # The runs ended by themselves (or at the chosen kill) with 0 or -1, and -1 only
        # for an early stop.
        for r in results:
            if r is result and world.kill_after is not None and r.exit_code is None:
                continue
            check(r.exit_code in (0, -1), "exit code %r" % r.exit_code)
            if r.exit_code == -1:
                numbers = set(r.trace_numbers())
                no_library = any(line.get("call") == "GetUtil" and not line.get("result")
                                 for line in r.comms_journal)
                check(bool(numbers & EARLY_STOP_TRACES) or no_library,
                      "-1 without an early stop: traces %s" % sorted(numbers))
            errors = protocol_errors(r)
            if errors and errors[0] in r.sdk_journal:
                at = r.sdk_journal.index(errors[0])
                errors = r.sdk_journal[max(0, at - 3):at + 1]  # what led to it
            check(not errors, "stand-ins called wrongly: %s" % errors[:4])
        killed = world.kill_after is not None and result.exit_code is None

        # What was received is well formed.
        documents = [r["body"] for r in requests["upload"] if r["method"] == "POST"]
        # A document is written in the repository before it goes.
        check(not (world.read_only_repository and documents),
              "a document delivered from a repository that cannot be written")
        delivered = []
        for body in documents:
            delivered += check_document(body)
        tracks = [r for r in requests["tracking"] if r["kind"].startswith("track")]
        for track in tracks:
            names = [pair[0] for pair in track["query"]][:6]
            check(names == TRACK_FIELDS, "track fields %s" % names)
        vpn = [r for r in requests["stats"] if r["kind"] == "vpn"]
        # The VPN post's answer is not awaited: through a proxy, the send succeeds once the
        # proxy has the request, whether or not the proxy then reaches the endpoint.
        vpn_sent = vpn + [r for r in requests["proxy"] if r["method"] == "POST"
                          and r["path"].endswith("/ats/post.aspx")]

        # The state moved only for what was delivered.
        def value(state, section, key):
            return state.get(section, {}).get(key)

        if not world.repository_is_file:
            all_traces = [t for r in results for t in r.traces]
            if value(after_state, "GLOBAL", "lastExec") != value(before_state, "GLOBAL",
                                                                   "lastExec"):
                check(bool(documents), "lastExec moved without a delivered document")
            if value(after_state, "GLOBAL", "lastTrack") != value(before_state, "GLOBAL",
                                                                    "lastTrack"):
                moved_by_tracks = any(t["unit"] == "tracking" and t["n"] in (39, 41)
                                      for t in all_traces)
                check(moved_by_tracks, "lastTrack moved without a track pass")
                if any(t["unit"] == "tracking" and t["n"] == 39 for t in all_traces):
                    check(not any(detection_track_failed(r.comms_journal) for r in results),
                          "lastTrack moved although a detection track failed")
            before_evt, after_evt = before_state.get("EVT1", {}), after_state.get("EVT1", {})
            if after_evt != before_evt:
                emptied = after_evt.get("instDateTime") == "" and any(
                    t["unit"] == "tracking" and t["n"] == 52 for t in all_traces)
                check("Installation" in delivered or emptied,
                      "EVT1 moved without a delivered installation: %s" % after_evt)
            for key, percent in (("VPNEvent80", "80"), ("VPNEvent100", "100")):
                if value(after_state, "VPN_Status", key) != value(before_state, "VPN_Status", key):
                    posted = [p for p in vpn_sent
                              if dict(p["query"]).get("s_vpntraffic") == percent]
                    check(bool(posted), "%s moved without a post" % key)

        # Nothing written outside its places, no document left behind.
        check(self.outside_files() == before_files, "a file outside the program's places")
        if not killed and bed.repository.is_dir():
            left = [p.name for p in bed.repository.iterdir()
                    if p.name.startswith(("MUID", "Gccppostevents", "M\"", "\u00e9"))
                    or p.name.endswith(".download")]
            check(not left, "left in the repository: %s" % left)
        return {"documents": len(documents), "tracks": len(tracks), "vpn": len(vpn),
                "exit": [r.exit_code for r in results]}


def stop_on_terminate() -> None:
    """SIGTERM ends the process as Ctrl-C does: through its finally blocks, so that a lane
    stops its collectors, Wine server and host service and removes its prefix."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))


def run_lane(options) -> int:
    own = os.environ.get("ZENTRAK_E2E_PREFIX")
    lane = Lane(options.build, Path(own) if own else None)
    out = open(options.results, "a", encoding="utf-8")
    deadline = time.monotonic() + options.seconds if options.seconds else None
    seed, done = options.seed, 0
    try:
        while (options.runs is None or done < options.runs) and \
                (deadline is None or time.monotonic() < deadline):
            world = draw(seed, utc_now())
            record = {"seed": seed, "kinds": world.kinds, "zone": world.zone}
            began = time.monotonic()
            try:
                record.update(lane.run(world))
                record["ok"] = True
            except Violation as violation:
                record.update(ok=False, violation=str(violation))
            except Exception as error:  # the bed itself failed: reported, not hidden
                record.update(ok=False, violation="test bed: %r" % error)
            record["seconds"] = round(time.monotonic() - began, 3)
            out.write(json.dumps(record) + "\n")
            out.flush()
            if options.verbose or not record["ok"]:
                print(json.dumps(record), flush=True)
            seed += options.stride
            done += 1
    finally:
        lane.stop()
        if own:
            lane.bed.remove_prefix()
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", type=Path, required=True)
    parser.add_argument("--seconds", type=float)
    parser.add_argument("--runs", type=int)
    parser.add_argument("--seed", type=int)
    parser.add_argument("--lanes", type=int, default=1)
    parser.add_argument("--figures", type=Path)
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--no-namespace", action="store_true",
                        help="one lane in the build's shared prefix, for machines where a test "
                             "may not have namespaces of its own")
    parser.add_argument("--lane", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--stride", type=int, default=1, help=argparse.SUPPRESS)
    parser.add_argument("--results", type=Path, help=argparse.SUPPRESS)
    options = parser.parse_args()
    options.build = options.build.resolve()
    stop_on_terminate()
    if options.lane:
        return run_lane(options)
    if options.runs is None and options.seconds is None:
        options.seconds = 180
    seed = options.seed if options.seed is not None else random.SystemRandom().randrange(2 ** 31)
    # One campaign per build at a time: the next would remove the running one's lanes.
    lock = open(options.build / "chaos.lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        print("chaos: another campaign runs on %s" % options.build, file=sys.stderr)
        return 2
    work = options.build / "chaos"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    print("chaos: seed %d, %d lane(s), %s" % (
        seed, options.lanes, "%d runs" % options.runs if options.runs is not None
        else "%d s" % options.seconds), flush=True)
    lanes = []
    for i in range(options.lanes):
        runs = None if options.runs is None else \
            options.runs // options.lanes + (1 if i < options.runs % options.lanes else 0)
        command = [sys.executable, str(Path(__file__).resolve()), "--lane",
                   "--build", str(options.build), "--seed", str(seed + i),
                   "--stride", str(options.lanes), "--results", str(work / ("lane-%d.jsonl" % i))]
        command += ["--runs", str(runs)] if runs is not None else ["--seconds", str(options.seconds)]
        if options.verbose:
            command.append("--verbose")
        if options.no_namespace:
            command[command.index("--stride") + 1] = "1"
            lanes.append(subprocess.Popen(command, env=dict(os.environ, PYTHONDONTWRITEBYTECODE="1")))
            break
        lanes.append(subprocess.Popen(
            [str(REPO / "tests" / "e2e" / "lane.sh"), str(work / ("prefix-%d" % i)), "--exec",
             *command], env=dict(os.environ, PYTHONDONTWRITEBYTECODE="1")))
    try:
        codes = [lane.wait() for lane in lanes]
    except (SystemExit, KeyboardInterrupt):
        for lane in lanes:  # each cleans up after itself
            lane.terminate()
        for lane in lanes:
            lane.wait()
        raise
    records = []
    for path in sorted(work.glob("lane-*.jsonl")):
        records += [json.loads(line) for line in path.read_text().splitlines() if line.strip()]
    failures = [r for r in records if not r["ok"]]
    kinds = Counter(kind for r in records for kind in r["kinds"])
    figures = {"seed": seed, "lanes": options.lanes, "runs": len(records),
               "failures": len(failures), "failed_seeds": [r["seed"] for r in failures],
               "documents": sum(r.get("documents", 0) for r in records),
               "tracks": sum(r.get("tracks", 0) for r in records),
               "vpn_posts": sum(r.get("vpn", 0) for r in records),
               "exit_codes": dict(Counter(str(c) for r in records for c in r.get("exit", []))),
               "faults": dict(sorted(kinds.items())),
               "seconds": round(sum(r["seconds"] for r in records), 1)}
    print(json.dumps(figures, indent=1))
    for failure in failures:
        print("chaos: seed %d failed: %s" % (failure["seed"], failure["violation"]))
    if options.figures:
        options.figures.write_text(json.dumps(figures, indent=1) + "\n")
    return 1 if failures or any(codes) or not records else 0


if __name__ == "__main__":
    sys.exit(main())
