#include "support/Security.h"

// The headers below need the types of <windows.h>.
#include <aclapi.h>
#include <sddl.h>

namespace zentrak::security {
namespace {

std::wstring SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return {};
  const ScopedLocal owned(text);
  return text;
}

Owner OwnerFromDescriptor(DWORD result, PSID owner, PSECURITY_DESCRIPTOR descriptor) {
  const ScopedLocal owned(descriptor);
  Owner read;
  if (result != ERROR_SUCCESS) return read;
  read.read = true;
  if (owner != nullptr) read.sid = SidText(owner);
  return read;
}

}  // namespace

std::wstring OwnUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  const ScopedHandle owned(token);
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  DWORD length = 0;
  if (!::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length)) return {};
  return SidText(reinterpret_cast<const TOKEN_USER*>(buffer)->User.Sid);
}

Owner FileOwner(const std::wstring& path) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD result =
      ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &descriptor);
  return OwnerFromDescriptor(result, owner, descriptor);
}

Owner ObjectOwner(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD result = ::GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION,
                                         &owner, nullptr, nullptr, nullptr, &descriptor);
  return OwnerFromDescriptor(result, owner, descriptor);
}

ScopedLocal DescriptorFromSddl(const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    return ScopedLocal();
  }
  return ScopedLocal(descriptor);
}

std::wstring DescriptorToSddl(PSECURITY_DESCRIPTOR descriptor) {
  LPWSTR text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          &text, nullptr)) {
    return {};
  }
  const ScopedLocal owned(text);
  return text;
}

}  // namespace zentrak::security
