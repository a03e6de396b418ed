// The event configuration reader on arbitrary bytes: it returns or raises its own
// errors, and never reads out of bounds or recurses without limit.
#include <boost/property_tree/exceptions.hpp>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "run/EventConfigParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  zentrak::run::EventConfig config;
  try {
    (void)zentrak::run::ParseEventConfig(in, config);
  } catch (const boost::property_tree::ptree_error&) {
  } catch (const zentrak::run::EventConfigError&) {
  }
  return 0;
}
