// Turns fuzz bytes into the program's UTF-16 texts: two bytes a unit, so every unit,
// surrogates and null included, can occur.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::wstring FuzzWideText(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  }
  return text;
}
