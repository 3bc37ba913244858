// IUnknown for the small COM objects of tsfhost and its test text service, written once: the class
// has `void* Find(REFIID)` (the interface pointer for an IID, or null) and a `ULONG refs_` that starts
// at 1. `enter` is a statement run first in QueryInterface (tsfhost times it as a framework call).
#pragma once

#include <windows.h>

#define TSFHOST_COM_IUNKNOWN(enter)                                           \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { \
    enter;                                                                    \
    if (!out) return E_INVALIDARG;                                            \
    *out = Find(iid);                                                         \
    if (!*out) return E_NOINTERFACE;                                          \
    AddRef();                                                                 \
    return S_OK;                                                              \
  }                                                                           \
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }               \
  ULONG STDMETHODCALLTYPE Release() override {                                \
    const ULONG left = --refs_;                                               \
    if (left == 0) delete this;                                               \
    return left;                                                              \
  }
