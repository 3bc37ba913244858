// Strings handed to the framework: a new BSTR the caller frees. One rule everywhere: a null out
// pointer is E_INVALIDARG, a string that cannot be allocated E_OUTOFMEMORY.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <string_view>

namespace quillet {

inline HRESULT NewBstr(std::u16string_view text, BSTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace quillet
