// A small JSON reader for the stand-in's fixtures. Unlike a property tree it keeps what the
// fixture needs: the kind of each value (a number is not a string), the literal text of
// numbers (64-bit integers stay exact) and the order of object members.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace standin::json {

struct Value {
  enum class Kind : std::uint8_t { kNull, kBool, kNumber, kString, kArray, kObject };

  Kind kind = Kind::kNull;
  bool boolean = false;
  bool integer = false;      // a number without fraction or exponent
  std::string key;           // the member name, for a member of an object
  std::string text;          // a number's literal, a string's contents (UTF-8)
  std::vector<Value> items;  // array elements, object members (in order)

  [[nodiscard]] const Value* Find(std::string_view name) const noexcept;
};

// Thrown with the byte offset of the error in the message.
class ParseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole text must be one JSON value (whitespace around it, an optional UTF-8 BOM).
[[nodiscard]] Value Parse(std::string_view text);

}  // namespace standin::json
