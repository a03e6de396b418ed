// Writes the trace message format (TMF) files of the program's trace units: one file per
// unit, named after the unit's message GUID, in the layout the platform's trace
// formatting tools read. Built for and run on the build machine, from the unit tables.
//
// Usage: MakeFormatFiles OUTPUT_FOLDER
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "hostsdk/HostSdkTracePoints.h"
#include "run/RunTracePoints.h"
#include "support/Trace.h"
#include "tracking/TrackingTracePoints.h"
#include "transport/TransportTracePoints.h"

namespace {

using zentrak::trace::ArgType;
using zentrak::trace::Point;
using zentrak::trace::Unit;

constexpr char kModuleName[] = "Zentrak";
// Messages carry their arguments from %10 on; %1 to %9 are the tools' own prefix fields.
constexpr int kFirstArgument = 10;

struct UnitTable {
  Unit unit;
  const char* source;  // the header that holds the table
  const Point* begin;
  const Point* end;
};

const char* LevelName(std::uint8_t level) {
  switch (level) {
    case zentrak::trace::kLevelError:
      return "TRACE_LEVEL_ERROR";
    case zentrak::trace::kLevelInfo:
      return "TRACE_LEVEL_INFORMATION";
    case zentrak::trace::kLevelVerbose:
      return "TRACE_LEVEL_VERBOSE";
    default:
      return "TRACE_LEVEL_NONE";
  }
}

const char* ItemType(ArgType type) {
  switch (type) {
    case ArgType::kInt32:
    case ArgType::kHex32:
      return "ItemLong";
    case ArgType::kWide:
      return "ItemWString";
    case ArgType::kNarrow:
      return "ItemString";
  }
  return "ItemLong";
}

std::string Placeholder(ArgType type, int index) {
  const std::string n = std::to_string(index);
  switch (type) {
    case ArgType::kInt32:
      return "%" + n + "!d!";
    case ArgType::kHex32:
      return "0x%" + n + "!08X!";
    case ArgType::kWide:
    case ArgType::kNarrow:
      return "%" + n + "!s!";
  }
  return "%" + n + "!d!";
}

// The wording as a format string: %1 ... become the message's argument fields, and a
// percent sign that names no argument is doubled.
std::string FormatString(const Point& p) {
  std::string out = "%0";
  for (const char* c = p.text; *c != '\0'; ++c) {
    if (*c == '%' && c[1] >= '1' && c[1] <= '9') {
      const int index = c[1] - '1';
      out += Placeholder(p.args[index], kFirstArgument + index);
      ++c;
    } else if (*c == '%') {
      out += "%%";
    } else {
      out += *c;
    }
  }
  return out;
}

std::string FormatFile(const UnitTable& table) {
  const char* unit = zentrak::trace::UnitName(table.unit);
  std::string out = zentrak::trace::GuidText(zentrak::trace::UnitMessageGuid(table.unit));
  out += std::string(" ") + kModuleName + " // SRC=" + table.source + " MJ= MN=\r\n";
  for (const Point* p = table.begin; p != table.end; ++p) {
    char flags[16] = {};
    std::snprintf(flags, sizeof flags, "0x%X", static_cast<unsigned>(p->flag));
    out += "#typev " + std::string(unit) + "_" + std::to_string(p->number) + " " +
           std::to_string(p->number) + " \"" + FormatString(*p) +
           "\" //   LEVEL=" + LevelName(p->level) + " FLAGS=" + flags + "\r\n";
    out += "{\r\n";
    for (int i = 0; i < p->arg_count; ++i) {
      out += "arg" + std::to_string(i + 1) + ", " + ItemType(p->args[i]) + " -- " +
             std::to_string(kFirstArgument + i) + "\r\n";
    }
    out += "}\r\n";
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: MakeFormatFiles OUTPUT_FOLDER\n";
    return 2;
  }
  namespace tp_run = zentrak::run::tp;
  const UnitTable tables[] = {
      {Unit::kRun, "RunTracePoints.h", std::begin(tp_run::kRunPoints),
       std::end(tp_run::kRunPoints)},
      {Unit::kService, "RunTracePoints.h", std::begin(tp_run::kServicePoints),
       std::end(tp_run::kServicePoints)},
      {Unit::kTracking, "TrackingTracePoints.h", std::begin(zentrak::tracking::tp::kPoints),
       std::end(zentrak::tracking::tp::kPoints)},
      {Unit::kHostSdk, "HostSdkTracePoints.h", std::begin(zentrak::hostsdk::tp::kPoints),
       std::end(zentrak::hostsdk::tp::kPoints)},
      {Unit::kTransport, "TransportTracePoints.h", std::begin(zentrak::transport::tp::kPoints),
       std::end(zentrak::transport::tp::kPoints)},
  };
  for (const UnitTable& table : tables) {
    const std::string path = std::string(argv[1]) + "/" +
                             zentrak::trace::GuidText(zentrak::trace::UnitMessageGuid(table.unit)) +
                             ".tmf";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << FormatFile(table);
    if (!out) {
      std::cerr << "cannot write " << path << "\n";
      return 1;
    }
  }
  return 0;
}
