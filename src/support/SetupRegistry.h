// Keys and values written by the suite's setup, read from HKEY_LOCAL_MACHINE.
#pragma once

namespace zentrak::setup {

inline constexpr wchar_t kSetupKey[] = L"SOFTWARE\\Kelvo Software\\Setup";
inline constexpr wchar_t kUidsKey[] = L"SOFTWARE\\Kelvo Software\\Setup\\UIDS";

inline constexpr wchar_t kPathValue[] = L"Path";
inline constexpr wchar_t kDumpJsonsValue[] = L"DumpJSONs";
inline constexpr wchar_t kDumpJsonsPathValue[] = L"DumpJSONsPath";
inline constexpr wchar_t kMainProductIdValue[] = L"MainProductID";
inline constexpr wchar_t kVersionTypeValue[] = L"VersionType";
inline constexpr wchar_t kCustomIdValue[] = L"CustomID";
inline constexpr wchar_t kInstUidValue[] = L"InstUID";
inline constexpr wchar_t kMuidValue[] = L"MUID";

// Texts of the setup key are read into buffers of this many characters, terminator included.
inline constexpr unsigned kTextCapacity = 260;

}  // namespace zentrak::setup
