// Loading CommsWrapper.dll and finding its GetUtil: one loader, each caller naming where
// the library is looked for.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "support/Scoped.h"
#include "transport/CommsLibrary.h"

namespace zentrak::transport {

// The program file's drive and folder with `file_name` after them; none when the
// program's path cannot be had within 260 characters.
[[nodiscard]] std::optional<std::wstring> ProgramFolderPath(const wchar_t* file_name);

enum class CommsSearch {
  // By bare name, in the program's folder and the system folders only (the comms client).
  kApplicationAndSystem,
  // By full path in the program's folder (the campaign tracker).
  kProgramFolder,
};

// The library with its GetUtil; both empty when the library or its export is missing
// (a library without GetUtil is unloaded again).
struct LoadedComms {
  ScopedModule module;
  comms::GetUtilFunction get_util = nullptr;
};
[[nodiscard]] LoadedComms LoadComms(CommsSearch search);

}  // namespace zentrak::transport
