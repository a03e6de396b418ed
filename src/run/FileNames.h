// Names of the files the run writes into its repository folder. Portable.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "run/StateTime.h"

namespace zentrak::run {

inline constexpr wchar_t kFallbackDocumentName[] = L"Gccppostevents";
// The installation marker, the configuration download before its digest is checked, and
// the lock file of a run whose named lock an ordinary user holds. With "EvtsData.ini"
// they are the program's own files, which no configuration source may name.
inline constexpr wchar_t kInstallationMarkerName[] = L"EvtsInstall.txt";
inline constexpr wchar_t kConfigDownloadName[] = L"EvtsConfig.download";
inline constexpr wchar_t kLockFileName[] = L"EvtsRun.lock";

// "20180326_073620045": the UTC time with milliseconds, every field zero-padded.
[[nodiscard]] std::wstring FormatDocumentStamp(const CivilTime& utc);

// The event document's file name: the MUID and "_" when there is one, then the stamp;
// "Gccppostevents" when both are empty. Characters that cannot stand in a file name
// (path separators, ":", wildcards, quotes, control characters) become "_", so a MUID
// never makes the document land outside the repository folder.
[[nodiscard]] std::wstring DocumentFileName(const std::optional<std::wstring>& muid,
                                            std::wstring_view stamp);

// The file-name part of a configuration source: what follows the last "/" of a URL, or
// the last "\" of a path; empty without such a separator. A part that could leave the
// repository folder (one holding "\" or "/" after URL decoding, a drive or stream
// colon, or "." or "..") counts as empty as well, and so does one that Windows would not
// take as a plain file of that name: a device name with or without an extension ("NUL",
// "com1.json"), a name ending in a dot or a space, or one of the program's own files.
[[nodiscard]] std::wstring ConfigFileNamePart(std::wstring_view source, bool is_url);

// True for a name Windows maps to a device whatever follows its first dot: CON, PRN, AUX,
// NUL, COM0 to COM9, LPT0 to LPT9, CONIN$ and CONOUT$, in any case, spaces before the
// dot ignored.
[[nodiscard]] bool IsDeviceName(std::wstring_view name) noexcept;

}  // namespace zentrak::run
