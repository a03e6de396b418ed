// A small in-process COM object for the tests of the COM wrappers: it counts its
// references and answers IUnknown, IDispatch and the SDK's date value interface, or a
// chosen HRESULT for every other interface.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <oaidl.h>

#include "hostsdk/SdkInterfaces.h"

namespace zentrak::testing {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TestDateValue final : public hostsdk::IDateValue {
 public:
  explicit TestDateValue(double date = 0.0, HRESULT other_interfaces = E_NOINTERFACE)
      : date_(date), other_(other_interfaces) {}

  [[nodiscard]] ULONG references() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(hostsdk::IDateValue)) {
      *out = static_cast<hostsdk::IDateValue*>(this);
      AddRef();
      return S_OK;
    }
    return other_;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }  // lives on the stack

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

#define ZENTRAK_UNUSED(n) \
  HRESULT STDMETHODCALLTYPE Unused##n() override { return E_NOTIMPL; }
  ZENTRAK_UNUSED(1)
  ZENTRAK_UNUSED(2)
  ZENTRAK_UNUSED(3)
  ZENTRAK_UNUSED(4)
  ZENTRAK_UNUSED(5)
  ZENTRAK_UNUSED(6)
  ZENTRAK_UNUSED(7)
  ZENTRAK_UNUSED(8)
  ZENTRAK_UNUSED(9)
  ZENTRAK_UNUSED(10)
  ZENTRAK_UNUSED(11)
  ZENTRAK_UNUSED(12)
  ZENTRAK_UNUSED(13)
  ZENTRAK_UNUSED(14)
  ZENTRAK_UNUSED(15)
  ZENTRAK_UNUSED(16)
  ZENTRAK_UNUSED(17)
  ZENTRAK_UNUSED(18)
  ZENTRAK_UNUSED(19)
#undef ZENTRAK_UNUSED

  HRESULT STDMETHODCALLTYPE GetValue(VARIANT* date) override {
    V_VT(date) = VT_R8;
    V_R8(date) = date_;
    return S_OK;
  }

 private:
  ULONG references_ = 0;
  double date_;
  HRESULT other_;
};
#pragma GCC diagnostic pop

}  // namespace zentrak::testing
