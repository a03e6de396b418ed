"""The generated trace message format files against the trace tables in the sources:
every trace point appears in its unit's file with its number, level, flag, argument
types and wording, and nothing else does.

The folder of the files is ZENTRAK_TMF_DIR (build/native/tmf when unset)."""

import os
import re
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
TMF_DIR = Path(os.environ.get("ZENTRAK_TMF_DIR", REPO / "build" / "native" / "tmf"))

UNIT_GUIDS = {
    "run": "a891138f-252e-6e12-6b22-c2fef7d83580",
    "service": "1b3692e3-f438-4ca3-2182-23136c653a34",
    "tracking": "9f612876-a054-bae3-7710-5f119756f7ad",
    "hostsdk": "80a74469-2ff9-750b-54be-f8b45010ff5d",
    "transport": "19d273c7-7262-54cd-6037-267931314c94",
}
# The table helpers: their unit and flag (None: the entry names its flag).
HELPERS = {"Run": ("run", 1), "Service": ("service", 1), "Tracking": ("tracking", 2),
           "HostSdk": ("hostsdk", 2), "Transport": ("transport", None)}
LEVELS = {"kLevelError": 2, "kLevelInfo": 4, "kLevelVerbose": 5}
TMF_LEVELS = {"TRACE_LEVEL_ERROR": 2, "TRACE_LEVEL_INFORMATION": 4, "TRACE_LEVEL_VERBOSE": 5}
ITEMS = {"kInt32": "ItemLong", "kHex32": "ItemLong", "kWide": "ItemWString",
         "kNarrow": "ItemString"}
SPECS = {"kInt32": "d", "kHex32": "08X", "kWide": "s", "kNarrow": "s"}

ENTRY = re.compile(
    r'inline constexpr auto (k\w+)\s*=\s*(\w+)<([^>]*)>\(\s*(\d+)\s*,\s*(?:(\d+)\s*,\s*)?'
    r'(kLevel\w+)\s*,\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\)\s*;')
LITERAL = re.compile(r'"((?:[^"\\]|\\.)*)"')


def source_points() -> dict:
    """(unit, number) -> (level, flag, [types], wording), read from the table headers."""
    points = {}
    tables = sorted((REPO / "src").rglob("*TracePoints.h"))
    assert len(tables) == 4, tables
    for table in tables:
        text = re.sub(r"//[^\n]*", "", table.read_text(encoding="utf-8"))
        entries = ENTRY.findall(text)
        # Every declaration is a table entry the pattern understood.
        assert len(entries) == text.count("inline constexpr auto "), table
        for name, helper, types, number, flag, level, literals in entries:
            unit, unit_flag = HELPERS[helper]
            wording = "".join(LITERAL.findall(literals)).replace("\\\\", "\\")
            arg_types = [t.strip().split("::")[-1] for t in types.split(",") if t.strip()]
            key = (unit, int(number))
            assert key not in points, (name, key)
            points[key] = (LEVELS[level], int(flag) if unit_flag is None else unit_flag,
                           arg_types, wording)
    return points


TYPEV = re.compile(r'#typev (\w+) (\d+) "(.*)" //\s+LEVEL=(\w+) FLAGS=(0x[0-9A-Fa-f]+)$')
ITEM = re.compile(r"(\w+), (Item\w+) -- (\d+)$")


def tmf_points() -> dict:
    """(unit, number) -> (level, flag, [item types], format string), read from the files."""
    assert TMF_DIR.is_dir(), "no format files in %s: build first" % TMF_DIR
    units = {guid: unit for unit, guid in UNIT_GUIDS.items()}
    files = sorted(TMF_DIR.glob("*.tmf"))
    assert sorted(p.stem for p in files) == sorted(UNIT_GUIDS.values())
    points = {}
    for path in files:
        lines = path.read_text(encoding="ascii").splitlines()
        guid, module = lines[0].split()[:2]
        assert (guid, module) == (path.stem, "Zentrak")
        unit = units[guid]
        i = 1
        while i < len(lines):
            m = TYPEV.match(lines[i])
            assert m, (path.name, i, lines[i])
            number = int(m.group(2))
            assert m.group(1) == "%s_%d" % (unit, number)
            assert lines[i + 1] == "{"
            items = []
            i += 2
            while lines[i] != "}":
                item = ITEM.match(lines[i])
                assert item, (path.name, i, lines[i])
                assert int(item.group(3)) == 10 + len(items)  # arguments from %10 on
                items.append(item.group(2))
                i += 1
            i += 1
            assert (unit, number) not in points
            points[(unit, number)] = (TMF_LEVELS[m.group(4)], int(m.group(5), 16), items,
                                      m.group(3))
    return points


TOKEN = re.compile(r"(0x)?%(\d+)!([^!]+)!|%%|%|(?:[^%0]|0(?!x%))+")


def wording_of(format_string: str, types: list) -> str:
    """The format string read back into the table's wording, checking each field's spec."""
    assert format_string.startswith("%0")
    text = []
    for m in TOKEN.finditer(format_string[2:]):
        token = m.group(0)
        if m.group(2) is not None:
            index = int(m.group(2)) - 10
            assert 0 <= index < len(types), format_string
            assert m.group(3) == SPECS[types[index]], format_string
            assert (m.group(1) == "0x") == (types[index] == "kHex32"), format_string
            text.append("%%%d" % (index + 1))
        elif token == "%%":
            text.append("%")
        else:
            assert token != "%", format_string  # a plain percent sign is doubled
            text.append(token)
    return "".join(text)


def test_every_trace_point_of_the_sources_is_in_its_units_format_file():
    sources = source_points()
    formats = tmf_points()
    assert sorted(formats) == sorted(sources)
    for key, (level, flag, types, wording) in sources.items():
        tmf_level, tmf_flag, items, format_string = formats[key]
        assert (tmf_level, tmf_flag) == (level, flag), key
        assert items == [ITEMS[t] for t in types], key
        assert wording_of(format_string, types) == wording, key


def test_the_published_points_keep_their_numbers():
    # A few points as the run's documentation lists them, and the new tracking unit.
    sources = source_points()
    assert sources[("run", 20)][:3] == (4, 1, ["kWide"])
    assert sources[("run", 54)][:3] == (4, 1, ["kWide"])
    assert sources[("service", 15)][:3] == (5, 1, ["kInt32"])
    assert sources[("transport", 19)][:3] == (4, 4, ["kWide"])
    assert sources[("hostsdk", 3)][:2] == (5, 2)
    assert {unit for unit, _ in sources} == set(UNIT_GUIDS)
    assert all(flag == 2 for (unit, _), (_, flag, _, _) in sources.items() if unit == "tracking")
