// The program's one COM error: an exception carrying the HRESULT. Raised only by the COM
// wrappers; caught where a failed SDK call is handled.
#pragma once

#include <windows.h>

#include <cstdio>
#include <exception>

namespace zentrak {

class ComError : public std::exception {
 public:
  explicit ComError(HRESULT result) noexcept : result_(result) {
    std::snprintf(what_, sizeof what_, "COM error 0x%08lX", static_cast<unsigned long>(result));
  }
  [[nodiscard]] HRESULT result() const noexcept { return result_; }
  [[nodiscard]] const char* what() const noexcept override { return what_; }

 private:
  HRESULT result_;
  char what_[24] = {};
};

// Raises the COM error for a negative HRESULT.
inline void ThrowIfFailed(HRESULT result) {
  if (FAILED(result)) throw ComError(result);
}

}  // namespace zentrak
