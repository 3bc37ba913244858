// Where calls come in from the framework or the system: no exception may leave the module there.
// Every COM method and exported function that can throw runs its body through ComBoundary.
#pragma once

#include <windows.h>

#include <new>
#include <utility>

namespace quillet {

// Runs `body` (returning an HRESULT); allocation failure becomes E_OUTOFMEMORY and any other exception
// E_UNEXPECTED.
template <class Body>
HRESULT ComBoundary(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace quillet
