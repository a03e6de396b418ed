// Parses generated event configurations of growing size and reports the time per run,
// the time per filter entry and the process's peak memory. Native only.
//
// Usage: config_parse_bench [entries-per-list ...]   (default: 11250 112500)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "run/EventConfigParser.h"

namespace {

std::string GenerateConfig(int entries) {
  std::string json = "{\"DetectionsToEvent\":[";
  for (int list = 0; list < 2; ++list) {
    if (list == 1) json += "],\"DetectionsToTrack\":[";
    for (int i = 0; i < entries; ++i) {
      if (i != 0) json += ',';
      json += "{\"DetectionID\":" + std::to_string(100000 + i) + ",\"MalwareID\":\"" +
              (i % 7 == 0 ? std::string("any") : std::to_string(2000000 + i)) + "\"}";
    }
  }
  json += "],\"SendDetectionEvent\":\"true\",\"ExpirationDays\":30}";
  return json;
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {11250, 112500};  // about 1 MB and 10 MB
  for (int entries : sizes) {
    const std::string json = GenerateConfig(entries);
    double best = 1e9;
    for (int repeat = 0; repeat < 3; ++repeat) {
      std::istringstream in(json);
      zentrak::run::EventConfig config;
      const auto start = std::chrono::steady_clock::now();
      const bool ok = zentrak::run::ParseEventConfig(in, config);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (!ok || config.event_filters.size() != static_cast<std::size_t>(entries)) return 1;
      best = std::min(best, seconds);
    }
    std::printf("%7d entries per list  %6.2f MB  best of 3: %.3f s  %.2f us/entry  peak %ld KiB\n",
                entries, json.size() / 1e6, best, best * 1e6 / (2.0 * entries), PeakKiB());
  }
  return 0;
}
