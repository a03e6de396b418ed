// File names built from outside texts never name a place outside their folder.
#include <cstdlib>

#include "FuzzText.h"
#include "run/FileNames.h"

namespace {

bool HasSeparatorOrColon(const std::wstring& name) {
  return name.find_first_of(L"\\/:") != std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::wstring text = FuzzWideText(data + 1, size - 1);
  const std::wstring part = zentrak::run::ConfigFileNamePart(text, (data[0] & 1) != 0);
  if (HasSeparatorOrColon(part) || part == L"." || part == L"..") std::abort();
  const std::wstring name = zentrak::run::DocumentFileName(text, L"20180326_073620045");
  if (HasSeparatorOrColon(name) || name.size() != text.size() + 19) std::abort();
  return 0;
}
