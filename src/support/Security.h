// Owners and security descriptors: who owns a folder or a named object, the user the
// program runs as, and the descriptors the program creates with (support/TrustedOwners.h
// says whom it trusts).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "support/Scoped.h"

namespace zentrak::security {

// The SID of the user this process runs as, in its text form; empty when it cannot be read.
[[nodiscard]] std::wstring OwnUserSid();

// An object's owner: not read at all, or read (and then possibly absent).
struct Owner {
  bool read = false;
  std::optional<std::wstring> sid;
};
[[nodiscard]] Owner FileOwner(const std::wstring& path);
[[nodiscard]] Owner ObjectOwner(HANDLE object);

// A self-relative security descriptor made from SDDL, to be freed with LocalFree; empty
// when the text does not convert.
[[nodiscard]] ScopedLocal DescriptorFromSddl(const wchar_t* sddl);
// The descriptor back as SDDL (owner, group and DACL as far as present); empty when it
// does not convert.
[[nodiscard]] std::wstring DescriptorToSddl(PSECURITY_DESCRIPTOR descriptor);

}  // namespace zentrak::security
