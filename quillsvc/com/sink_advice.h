// Advising a sink on an object's ITfSource and giving it back, once for every sink of the text service.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <msctf.h>

#include <utility>

#include "quillsvc/com/com_ptr.h"

namespace quillet {

// `sink` advised for `iid` on the ITfSource of `owner`: its cookie, TF_INVALID_COOKIE when it could not
// be advised.
inline DWORD AdviseOn(IUnknown* owner, REFIID iid, IUnknown* sink) {
  DWORD cookie = TF_INVALID_COOKIE;
  ComPtr<ITfSource> source = QueryAs<ITfSource>(owner);
  if (!source || FAILED(source->AdviseSink(iid, sink, &cookie))) return TF_INVALID_COOKIE;
  return cookie;
}

// Gives back what *cookie advised on `owner` (nothing for TF_INVALID_COOKIE) and forgets it.
inline void UnadviseOn(IUnknown* owner, DWORD* cookie) {
  const DWORD advised = std::exchange(*cookie, TF_INVALID_COOKIE);
  if (advised == TF_INVALID_COOKIE) return;
  if (ComPtr<ITfSource> source = QueryAs<ITfSource>(owner)) source->UnadviseSink(advised);
}

}  // namespace quillet
