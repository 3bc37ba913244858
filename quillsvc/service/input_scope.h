// What a field's input scopes (the framework's GUID_PROP_INPUTSCOPE at the selection) say about the
// text typed there. Secret fields (passwords and PINs) get no candidates and nothing of them is read,
// kept or learned; private ones (browsers mark their private windows so) get candidates, and nothing
// of them is kept or learned.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <inputscope.h>
#include <msctf.h>

#include <cstddef>

namespace quillet {

struct FieldPrivacy {
  bool secret = false;
  bool privateField = false;
};

FieldPrivacy PrivacyOfScopes(const InputScope* scopes, size_t count);
// The privacy of the field at the context's selection; nothing special when the application sets no
// input scope or the property cannot be read.
FieldPrivacy ReadFieldPrivacy(ITfContext* context, TfEditCookie cookie);

}  // namespace quillet
