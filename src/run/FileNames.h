// Names of the files the run writes into its repository folder. Portable.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "run/StateTime.h"

namespace zentrak::run {

inline constexpr wchar_t kFallbackDocumentName[] = L"Gccppostevents";

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
// colon, or "." or "..") counts as empty as well.
[[nodiscard]] std::wstring ConfigFileNamePart(std::wstring_view source, bool is_url);

}  // namespace zentrak::run
