// Small in-process COM objects for the tests of the COM wrappers and the SDK session:
// they live on the test's stack, count their references and answer IUnknown, IDispatch
// and their own interface, or a chosen HRESULT for every other interface.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <oaidl.h>

#include "hostsdk/SdkInterfaces.h"

// A slot of an SDK interface that the test's program never calls.
#define ZENTRAK_FAKE_UNUSED(n) \
  HRESULT STDMETHODCALLTYPE Unused##n() override { return E_NOTIMPL; }

namespace zentrak::testing {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <typename I>
class FakeDispatch : public I {
 public:
  explicit FakeDispatch(HRESULT other_interfaces = E_NOINTERFACE) : other_(other_interfaces) {}

  [[nodiscard]] ULONG references() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(I)) {
      *out = static_cast<I*>(this);
      this->AddRef();
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

 private:
  ULONG references_ = 0;
  HRESULT other_;
};

class TestDateValue final : public FakeDispatch<hostsdk::IDateValue> {
 public:
  explicit TestDateValue(double date = 0.0, HRESULT other_interfaces = E_NOINTERFACE)
      : FakeDispatch(other_interfaces), date_(date) {}

  ZENTRAK_FAKE_UNUSED(1)
  ZENTRAK_FAKE_UNUSED(2)
  ZENTRAK_FAKE_UNUSED(3)
  ZENTRAK_FAKE_UNUSED(4)
  ZENTRAK_FAKE_UNUSED(5)
  ZENTRAK_FAKE_UNUSED(6)
  ZENTRAK_FAKE_UNUSED(7)
  ZENTRAK_FAKE_UNUSED(8)
  ZENTRAK_FAKE_UNUSED(9)
  ZENTRAK_FAKE_UNUSED(10)
  ZENTRAK_FAKE_UNUSED(11)
  ZENTRAK_FAKE_UNUSED(12)
  ZENTRAK_FAKE_UNUSED(13)
  ZENTRAK_FAKE_UNUSED(14)
  ZENTRAK_FAKE_UNUSED(15)
  ZENTRAK_FAKE_UNUSED(16)
  ZENTRAK_FAKE_UNUSED(17)
  ZENTRAK_FAKE_UNUSED(18)
  ZENTRAK_FAKE_UNUSED(19)

  HRESULT STDMETHODCALLTYPE GetValue(VARIANT* date) override {
    V_VT(date) = VT_R8;
    V_R8(date) = date_;
    return S_OK;
  }

 private:
  double date_;
};
#pragma GCC diagnostic pop

}  // namespace zentrak::testing
