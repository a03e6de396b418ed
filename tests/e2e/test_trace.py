"""What the trace file tells support: the event-tracking decisions of a run with every
kind of event, readable lines, and no secret."""

import re
from datetime import timedelta

from suite import DEFAULT_CONFIG, MUID, report, sdk_fixture, utc_now
from winebed import Collector, readable_trace

MiB = 1024 * 1024
STATE_TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d$")


def args_of(result, number):
    return [t["args"] for t in result.traces_of("tracking", number)]


def test_event_tracking_decisions_are_read_from_the_trace_file(bed, suite):
    now = utc_now()
    reports = [report(0x100003, now - timedelta(minutes=30 - i), 500 + i, 900 + i)
               for i in range(3)]
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 2048 * MiB},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    s = suite(fixture=sdk_fixture(installed=now - timedelta(hours=2), reports=reports, vpn=vpn))
    result = bed.run(["/TestMode"])
    assert result.exit_code == 0
    assert len(s.documents()) == 1 and len(s.vpn_posts()) == 1

    # Installation window: two hours away, no marker yet, so due.
    [window] = args_of(result, 14)
    assert STATE_TIME.match(window[0]) and STATE_TIME.match(window[1])
    assert window[2:] == [0, 0, 1]
    # The installation track, then the three detection tracks in list order.
    assert ["install"] in args_of(result, 21)
    for selection in ("event", "track"):
        [query] = [a for a in args_of(result, 32) if a[0] == selection]
        assert query[2:] == [30, 1]  # maximum age of the configuration, one entry
        assert [selection, -1, -1] in args_of(result, 33)  # "any" and "any"
        assert [selection, 1, 3] in args_of(result, 34)
    assert args_of(result, 38) == [[3, 3]]
    assert [a[:3] for a in args_of(result, 23)] == [[1, 500, 900], [2, 501, 901], [3, 502, 902]]
    [[last_exec]] = args_of(result, 39)
    assert STATE_TIME.match(last_exec)
    assert args_of(result, 36) == [[1, 1, 1]]
    # The event list and the document the run handed over (trace 20 of the run unit).
    [[document]] = [t["args"] for t in result.traces_of("run", 20)]
    assert args_of(result, 55) == [["1,3", len(document)]]
    # VPN: nothing sent today, 2048 of 10240 MiB left, so the 80 % event.
    today = utc_now().day
    assert args_of(result, 60) == [[1, 0, 0, today]]
    assert args_of(result, 63) == [[str(2048 * MiB), str(10240 * MiB)]]
    assert args_of(result, 64) == [[1, 1, 0, 0, 80, 1]]
    [[address, proxy]] = args_of(result, 66)
    assert address.startswith("http://127.0.0.12/ats/post.aspx?cr=916&fm=84&s_muid=" + MUID)
    assert address.endswith("&s_vpntraffic=80") and proxy == "none"
    assert args_of(result, 68) == [["VPNEvent80", today]]

    tracking = [t for t in result.traces if t["unit"] == "tracking"]
    assert {(t["level"], t["flag"]) for t in tracking} == {(5, 2)}  # no failure in this run
    for t in result.traces:
        assert t["text"] and not re.search(r"%\d", t["text"]), t
        assert re.match(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$", t["time_utc"]), t
    readable = readable_trace(result.traces)
    assert any(line.endswith("VPN event sent: VPNEvent80 set to day %d" % today)
               for line in readable)


def test_second_run_traces_why_no_installation_and_no_vpn_event(bed, suite):
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 0},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    suite(fixture=sdk_fixture(vpn=vpn), config=dict(DEFAULT_CONFIG, SendDetectionTrack="false"))
    bed.run()
    again = bed.run()
    [[delivered]] = args_of(again, 11)
    assert STATE_TIME.match(delivered)
    today = utc_now().day
    assert args_of(again, 60) == [[1, 0, today, today]]
    assert args_of(again, 64) == [[1, 1, 0, 1, 0, 1]]  # 100 % already sent today
    assert args_of(again, 37) == [[1, 0]]  # tracks switched off
    assert args_of(again, 55) == [["<NULL>", 0]]  # no event (an empty text): no document


def test_no_trace_line_carries_the_proxy_password(bed, suite):
    password = "Pr0xy-S3cret!"
    vpn = {"TrafficIsUnlimited": False, "TrafficRemaining": {"vt": "i8", "value": 2048 * MiB},
           "TrafficLimit": {"vt": "i8", "value": 10240 * MiB}}
    fixture = sdk_fixture(vpn=vpn)
    fixture["config"].update({"0x4009014": "127.0.0.15:8080", "0x4009012": "user",
                              "0x4009013": password})
    s = suite(fixture=fixture)
    proxy = Collector(bed.scratch, "127.0.0.15", 8080, proxy=True)
    try:
        result = bed.run(["/TestMode"], trace_level=5, trace_flags=7)
    finally:
        proxy.stop()
    assert result.exit_code == 0
    assert len(s.vpn_posts()) == 1  # the run went all the way, through the proxy
    assert [t["args"] for t in result.traces_of("run", 54)] == [["********"]]
    assert [t["args"] for t in result.traces_of("run", 53)] == [["user"]]
    # Every line as written, whatever its unit.
    raw = result.trace_text
    assert raw.count("\n") == len(result.traces) > 20
    assert password not in raw
