#include "quillsvc/service/input_scope.h"

#include "quillsvc/com/com_ptr.h"
#include "quillsvc/com/tsf_interfaces.h"

namespace quillet {

FieldPrivacy PrivacyOfScopes(const InputScope* scopes, size_t count) {
  FieldPrivacy privacy;
  for (size_t i = 0; scopes != nullptr && i < count; ++i) {
    switch (scopes[i]) {
      case IS_PASSWORD:
      case IS_NUMERIC_PASSWORD:
      case IS_NUMERIC_PIN:
      case IS_ALPHANUMERIC_PIN:
      case IS_ALPHANUMERIC_PIN_SET:
        privacy.secret = true;
        break;
      case IS_PRIVATE:
        privacy.privateField = true;
        break;
      default:
        break;
    }
  }
  return privacy;
}

FieldPrivacy ReadFieldPrivacy(ITfContext* context, TfEditCookie cookie) {
  if (context == nullptr) return {};
  TF_SELECTION selection = {};
  ULONG fetched = 0;
  if (FAILED(context->GetSelection(cookie, TF_DEFAULT_SELECTION, 1, &selection, &fetched)) || fetched != 1) return {};
  const ComPtr<ITfRange> range = ComPtr<ITfRange>::Adopt(selection.range);
  ComPtr<ITfProperty> property;
  if (FAILED(context->GetProperty(kInputScopeProperty, property.Put())) || !property) return {};
  VARIANT value;
  VariantInit(&value);
  FieldPrivacy privacy;
  if (SUCCEEDED(property->GetValue(cookie, range.Get(), &value)) && value.vt == VT_UNKNOWN && value.punkVal) {
    if (ComPtr<ITfInputScope> scope = QueryAs<ITfInputScope>(value.punkVal)) {
      InputScope* scopes = nullptr;
      UINT count = 0;
      if (SUCCEEDED(scope->GetInputScopes(&scopes, &count))) {
        // The framework's array: the caller frees it.
        privacy = PrivacyOfScopes(scopes, count);
        CoTaskMemFree(scopes);
      }
    }
  }
  VariantClear(&value);
  return privacy;
}

}  // namespace quillet
