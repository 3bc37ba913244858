// An owning COM interface pointer: one reference, released when the pointer goes away; and COM
// started on a thread for one scope.
#pragma once

#include <unknwn.h>
#include <windows.h>

#include <utility>

namespace quillet {

template <class T>
class ComPtr {
 public:
  using element_type = T;

  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference on `p`.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }

  // Wraps a pointer whose reference the caller already owns (a creation result, an out parameter).
  static ComPtr Adopt(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Releases what is held and gives the slot for an out parameter.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  // Hands the reference to the caller (for returning through an out parameter).
  T* Detach() { return std::exchange(p_, nullptr); }
  // Copies a new reference out; *out is null when nothing is held.
  void CopyTo(T** out) const {
    *out = p_;
    if (p_) p_->AddRef();
  }

  template <class U>
  HRESULT As(ComPtr<U>* out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(__uuidof(U), out->PutVoid());
  }
  HRESULT As(REFIID iid, void** out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out);
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }
  friend bool operator!=(const ComPtr& a, const ComPtr& b) { return a.p_ != b.p_; }

 private:
  T* p_ = nullptr;
};

// Queries `from` for U: a null pointer when `from` is null or does not answer U.
template <class U, class T>
ComPtr<U> QueryAs(T* from) {
  ComPtr<U> result;
  if (from) from->QueryInterface(__uuidof(U), result.PutVoid());
  return result;
}

// COM in a single-threaded apartment (or the multithreaded one) for one scope. A thread that already
// has COM keeps its own (the call then fails and nothing is undone).
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) : result_(CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool entered() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

}  // namespace quillet
