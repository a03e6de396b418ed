#include "transport/CommsLoader.h"

#include "support/Module.h"

namespace zentrak::transport {

std::optional<std::wstring> ProgramFolderPath(const wchar_t* file_name) {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  std::wstring folder(path, length);
  const std::size_t slash = folder.find_last_of(L"\\/");
  folder.resize(slash == std::wstring::npos ? 0 : slash + 1);
  return folder + file_name;
}

namespace {

HMODULE LoadFromProgramFolder() {
  const auto path = ProgramFolderPath(comms::kLibraryFileName);
  return path ? ::LoadLibraryW(path->c_str()) : nullptr;
}

HMODULE LoadFromApplicationAndSystem() {
  // Only the program's folder and the system folders: never the current folder or
  // PATH, where anyone could place a library this privileged process would run.
  const HMODULE module =
      ::LoadLibraryExW(comms::kLibraryBareName, nullptr,
                       LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Systems without the search flags refuse them: the program's folder is then the one
  // place looked at.
  if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    return LoadFromProgramFolder();
  }
  return module;
}

}  // namespace

LoadedComms LoadComms(CommsSearch search) {
  LoadedComms loaded;
  loaded.module.reset(search == CommsSearch::kProgramFolder ? LoadFromProgramFolder()
                                                            : LoadFromApplicationAndSystem());
  if (!loaded.module) return loaded;
  loaded.get_util = ProcAddress<comms::GetUtilFunction>(loaded.module.get(), comms::kGetUtilName);
  if (loaded.get_util == nullptr) loaded.module.reset();
  return loaded;
}

}  // namespace zentrak::transport
