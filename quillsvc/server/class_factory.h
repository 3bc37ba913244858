// The class object of the server. It has no reference count of its own: its references are the
// module's (DllAddRef / DllRelease), and the module deletes it when the last one goes.
#pragma once

#include <unknwn.h>
#include <windows.h>

namespace quillet {

// Makes a new object for a request of interface `riid`; *object receives its one reference.
using CreateFunction = HRESULT (*)(REFIID riid, IUnknown** object);

class CClassFactory final : public IClassFactory {
 public:
  CClassFactory(const CLSID& clsid, CreateFunction create) : clsid_(clsid), create_(create) {}
  CClassFactory(const CClassFactory&) = delete;
  CClassFactory& operator=(const CClassFactory&) = delete;
  virtual ~CClassFactory() = default;

  // IClassFactory and IUnknown answer with this object; AddRef and Release return the module's
  // count of references.
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // Makes an object and queries it for `riid`; the object's own first reference is released after
  // the query, so the caller holds the only one (and a failed query destroys it). No aggregation.
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  // Holds (true) or gives back (false) one module reference.
  STDMETHODIMP LockServer(BOOL lock) override;

  const CLSID& clsid() const { return clsid_; }

 private:
  CLSID clsid_;
  CreateFunction create_;
};

}  // namespace quillet
