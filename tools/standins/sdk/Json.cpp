#include "Json.h"

#include <cstdint>
#include <string>

#include "Text.h"

namespace standin::json {
namespace {

constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
  }

  Value Document() {
    Value value = Parse(0);
    SkipSpace();
    if (pos_ != text_.size()) Fail("text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const char* what) const {
    throw ParseError(std::string("JSON: ") + what + " at offset " + std::to_string(pos_));
  }

  void SkipSpace() noexcept {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      ++pos_;
    }
  }

  char Peek() {
    SkipSpace();
    if (pos_ >= text_.size()) Fail("unexpected end");
    return text_[pos_];
  }

  void Expect(char c) {
    if (Peek() != c) Fail((std::string("expected '") + c + "'").c_str());
    ++pos_;
  }

  void Literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) Fail("unknown literal");
    pos_ += word.size();
  }

  Value Parse(int depth) {
    if (depth > kMaxDepth) Fail("nesting too deep");
    Value value;
    switch (Peek()) {
      case '{':
        ParseObject(value, depth);
        break;
      case '[':
        ParseArray(value, depth);
        break;
      case '"':
        value.kind = Value::Kind::kString;
        ParseString(value.text);
        break;
      case 't':
        Literal("true");
        value.kind = Value::Kind::kBool;
        value.boolean = true;
        break;
      case 'f':
        Literal("false");
        value.kind = Value::Kind::kBool;
        break;
      case 'n':
        Literal("null");
        break;
      default:
        ParseNumber(value);
        break;
    }
    return value;
  }

  void ParseObject(Value& value, int depth) {
    value.kind = Value::Kind::kObject;
    ++pos_;
    if (Peek() == '}') {
      ++pos_;
      return;
    }
    for (;;) {
      if (Peek() != '"') Fail("expected a member name");
      std::string key;
      ParseString(key);
      Expect(':');
      value.items.push_back(Parse(depth + 1));
      value.items.back().key = std::move(key);
      const char c = Peek();
      ++pos_;
      if (c == '}') return;
      if (c != ',') Fail("expected ',' or '}'");
    }
  }

  void ParseArray(Value& value, int depth) {
    value.kind = Value::Kind::kArray;
    ++pos_;
    if (Peek() == ']') {
      ++pos_;
      return;
    }
    for (;;) {
      value.items.push_back(Parse(depth + 1));
      const char c = Peek();
      ++pos_;
      if (c == ']') return;
      if (c != ',') Fail("expected ',' or ']'");
    }
  }

  static bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

  void Digits() {
    if (pos_ >= text_.size() || !IsDigit(text_[pos_])) Fail("expected a digit");
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
  }

  void ParseNumber(Value& value) {
    const std::size_t start = pos_;
    value.kind = Value::Kind::kNumber;
    value.integer = true;
    if (text_[pos_] == '-') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '0') {
      ++pos_;
    } else {
      Digits();
    }
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      Digits();
      value.integer = false;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      Digits();
      value.integer = false;
    }
    value.text.assign(text_.substr(start, pos_ - start));
  }

  unsigned Hex4() {
    if (pos_ + 4 > text_.size()) Fail("short \\u escape");
    unsigned unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      unit <<= 4;
      if (c >= '0' && c <= '9') {
        unit |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        unit |= static_cast<unsigned>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        unit |= static_cast<unsigned>(c - 'A' + 10);
      } else {
        Fail("bad \\u escape");
      }
    }
    return unit;
  }

  void Escape(std::string& out) {
    if (pos_ >= text_.size()) Fail("unexpected end");
    const char c = text_[pos_++];
    switch (c) {
      case '"':
        out += '"';
        return;
      case '\\':
        out += '\\';
        return;
      case '/':
        out += '/';
        return;
      case 'b':
        out += '\b';
        return;
      case 'f':
        out += '\f';
        return;
      case 'n':
        out += '\n';
        return;
      case 'r':
        out += '\r';
        return;
      case 't':
        out += '\t';
        return;
      case 'u':
        break;
      default:
        Fail("unknown escape");
    }
    std::uint32_t cp = Hex4();
    if (cp >= 0xD800 && cp <= 0xDBFF && text_.substr(pos_, 2) == "\\u") {
      const std::size_t back = pos_;
      pos_ += 2;
      const unsigned low = Hex4();
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      } else {
        pos_ = back;  // the next escape stands on its own
      }
    }
    if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // unpaired surrogate
    AppendUtf8(out, cp);
  }

  void ParseString(std::string& out) {
    ++pos_;  // opening quotation mark
    for (;;) {
      std::size_t run = pos_;
      while (run < text_.size() && text_[run] != '"' && text_[run] != '\\' &&
             static_cast<unsigned char>(text_[run]) >= 0x20) {
        ++run;
      }
      out.append(text_.data() + pos_, run - pos_);
      pos_ = run;
      if (pos_ >= text_.size()) Fail("unterminated string");
      const char c = text_[pos_++];
      if (c == '"') return;
      if (c != '\\') Fail("control character in a string");
      Escape(out);
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

const Value* Value::Find(std::string_view name) const noexcept {
  for (const Value& item : items) {
    if (item.key == name) return &item;
  }
  return nullptr;
}

Value Parse(std::string_view text) { return Parser(text).Document(); }

}  // namespace standin::json
