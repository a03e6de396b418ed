// The DLL's entry points: the class factory of the host entry class, the unload check,
// and the registration for the path where no activation context is active.
#include <objbase.h>
#include <olectl.h>
#include <unknwn.h>
#include <windows.h>

#include <memory>
#include <string>

#include "Objects.h"
#include "Session.h"
#include "support/Scoped.h"

namespace standin {
namespace {

constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{3003DE76-0439-431D-9684-881C6110504A}";

// The host entry class's factory; a static object, so its references count nothing.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"  // released, never deleted
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Session& session = Session::Instance();
    std::shared_ptr<const Fixture> fixture;
    const HRESULT loaded = session.Acquire(fixture);
    if (FAILED(loaded)) return loaded;
    Call call(*fixture, Method::kHostEntryCreate);
    if (call.Skipped()) return call.Finish(S_OK);
    auto* entry = new HostEntry(std::move(fixture));
    const HRESULT hr = entry->QueryInterface(iid, out);
    entry->Release();
    return call.Finish(hr);
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    Session::Instance().Lock(lock != FALSE);
    return S_OK;
  }
};
#pragma GCC diagnostic pop

ClassFactory factory;

bool SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
  return ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
         ERROR_SUCCESS;
}

}  // namespace
}  // namespace standin

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    standin::Session::Instance().SetModule(instance);
    ::DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    standin::Session::Instance().Unloading();
  }
  return TRUE;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE
    DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, tessel::kClsidHostEntry)) return CLASS_E_CLASSNOTAVAILABLE;
  return standin::factory.QueryInterface(iid, out);
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  if (!standin::Session::Instance().CanUnload()) return S_FALSE;
  standin::Session::Instance().Flush();
  return S_OK;
}

// HKLM\Software\Classes\CLSID\{...}\InprocServer32: this file, threading model "Both".
__declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
  zentrak::ScopedRegKey server;
  const std::wstring key = std::wstring(standin::kClassKey) + L"\\InprocServer32";
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        server.put(), nullptr) != ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  zentrak::ScopedRegKey cls;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, standin::kClassKey, 0, KEY_SET_VALUE, cls.put()) !=
          ERROR_SUCCESS ||
      !standin::SetText(cls.get(), nullptr, L"Tessel host entry (stand-in)") ||
      !standin::SetText(server.get(), nullptr, standin::Session::Instance().ModulePath()) ||
      !standin::SetText(server.get(), L"ThreadingModel", L"Both")) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
  const LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, standin::kClassKey);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

}  // extern "C"
