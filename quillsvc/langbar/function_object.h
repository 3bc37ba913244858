// The small COM objects the framework asks the text service for: a reference count, the module's
// object count for their lifetime, and QueryInterface for IUnknown, ITfFunction and one function
// interface.
#pragma once

#include <windows.h>

#include "platform/win32/tsf_interfaces.h"
#include "quillsvc/server/com_boundary.h"
#include "quillsvc/server/module.h"

namespace quillet {

template <class Interface>
class CFunctionObject : public Interface {
 public:
  CFunctionObject() { DllAddRef(); }
  virtual ~CFunctionObject() { DllRelease(); }
  CFunctionObject(const CFunctionObject&) = delete;
  CFunctionObject& operator=(const CFunctionObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_INVALIDARG;
    *object = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ITfFunction) || IsEqualIID(riid, __uuidof(Interface))) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  // A newly allocated copy of `name` into *out; S_OK also when it could not be allocated (null then).
  static HRESULT DisplayName(const wchar_t* name, BSTR* out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = SysAllocString(name);
    return S_OK;
  }

 private:
  ULONG references_ = 1;
};

}  // namespace quillet
