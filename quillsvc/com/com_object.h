// IUnknown written once. A COM object of ours derives from ComObject with the interfaces it answers as
// template arguments, the first being its identity:
//
//   class CFnHelp final : public ComObject<ModuleCount, ITfFnShowHelp> { ... };
//
// QueryInterface answers IUnknown and each listed interface together with the interfaces it derives
// from (InterfaceTraits below); AddRef and Release count atomically (objects handed to the system, as
// the accessibility ones are, may be released from its threads). The
// `Counter` counts the object for its whole life, from the base's constructor to its destructor, so
// a derived constructor that throws leaves the count as it was. An object starts with one reference,
// which belongs to its creator (ComPtr<T>::Adopt(new T(...))).
#pragma once

#include <ocidl.h>
#include <oleacc.h>
#include <unknwn.h>
#include <windows.h>

#include <atomic>
#include <tuple>

#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {

// The IIDs an interface answers: its own and those of its bases (besides IUnknown).
template <class I>
struct InterfaceTraits {
  static bool Answers(REFIID iid) { return IsEqualIID(iid, __uuidof(I)) != 0; }
};

#define QUILLET_DERIVED_INTERFACE(Derived, Base)                                        \
  template <>                                                                           \
  struct InterfaceTraits<Derived> {                                                     \
    static bool Answers(REFIID iid) {                                                   \
      return IsEqualIID(iid, __uuidof(Derived)) || InterfaceTraits<Base>::Answers(iid); \
    }                                                                                   \
  }

QUILLET_DERIVED_INTERFACE(ITfLangBarItemButton, ITfLangBarItem);
QUILLET_DERIVED_INTERFACE(ITfLangBarItemBalloon, ITfLangBarItem);
QUILLET_DERIVED_INTERFACE(ITfFnConfigure, ITfFunction);
QUILLET_DERIVED_INTERFACE(ITfFnShowHelp, ITfFunction);
QUILLET_DERIVED_INTERFACE(ITfCandidateListUIElement, ITfUIElement);
QUILLET_DERIVED_INTERFACE(ITfCandidateListUIElementBehavior, ITfCandidateListUIElement);
QUILLET_DERIVED_INTERFACE(ITfRangeACP, ITfRange);
QUILLET_DERIVED_INTERFACE(IAccessible, IDispatch);
QUILLET_DERIVED_INTERFACE(ITfContextOwnerCompositionServices, ITfContextComposition);

#undef QUILLET_DERIVED_INTERFACE

// The counter of objects that count nothing.
struct NoCount {
  static void Add() {}
  static void Remove() {}
};

template <class Counter, class... Interfaces>
class ComObject : public Interfaces... {
  static_assert(sizeof...(Interfaces) > 0, "an object answers at least one interface");
  using Primary = std::tuple_element_t<0, std::tuple<Interfaces...>>;

 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_INVALIDARG;
    *out = Find(iid);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  IUnknown* Identity() { return static_cast<Primary*>(this); }

 protected:
  ComObject() { Counter::Add(); }
  virtual ~ComObject() { Counter::Remove(); }

  // Interfaces beyond the list (a host's private identities); null for none.
  virtual void* FindOther(REFIID) { return nullptr; }

 private:
  template <class I>
  void* Cast(REFIID iid) {
    return InterfaceTraits<I>::Answers(iid) ? static_cast<I*>(this) : nullptr;
  }
  void* Find(REFIID iid) {
    if (IsEqualIID(iid, IID_IUnknown)) return Identity();
    void* found = nullptr;
    // The first interface of the list that answers.
    (void)(((found = Cast<Interfaces>(iid)) != nullptr) || ...);
    return found != nullptr ? found : FindOther(iid);
  }

  std::atomic<ULONG> refs_{1};
};

}  // namespace quillet
