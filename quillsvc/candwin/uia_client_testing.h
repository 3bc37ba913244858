// UI Automation's client calls, found at run time, as the tests that read the candidate window the way
// a screen reader does use them.
#pragma once

#include <windows.h>

#include <string>

#include "common/utf16.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "winui/gdi.h"

namespace quillet::testing {

// Whether Text's answer is one the element gave.
inline bool Given(const std::string& text) { return !text.empty() && text != "(failed)"; }

struct UiaClient {
  UiaClient()
      : module(L"uiautomationcore.dll"),
        fromHandle(winui::FindProc<UiaNodeFromHandleFn>(module.get(), "UiaNodeFromHandle")),
        release(winui::FindProc<UiaNodeReleaseFn>(module.get(), "UiaNodeRelease")),
        property(winui::FindProc<UiaGetPropertyValueFn>(module.get(), "UiaGetPropertyValue")),
        navigate(winui::FindProc<UiaNavigateFn>(module.get(), "UiaNavigate")),
        fromVariant(winui::FindProc<UiaHUiaNodeFromVariantFn>(module.get(), "UiaHUiaNodeFromVariant")) {}
  bool available() const { return fromHandle && release && property && navigate && fromVariant; }

  // A property as text: strings as they are, numbers and booleans written out; "(failed)" when the
  // call failed, "" when the element did not give it.
  std::string Text(HUIANODE node, PROPERTYID id) const {
    VARIANT v;
    VariantInit(&v);
    if (FAILED(property(node, id, &v))) return "(failed)";
    std::string text;
    if (v.vt == VT_BSTR) {
      text = ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(v.bstrVal), SysStringLen(v.bstrVal)));
    } else if (v.vt == VT_I4) {
      text = std::to_string(v.lVal);
    } else if (v.vt == VT_BOOL) {
      text = v.boolVal ? "true" : "false";
    }
    VariantClear(&v);
    return text;
  }
  // The element in `direction` from `node`; null for none.
  HUIANODE Navigate(HUIANODE node, NavigateDirection direction) const {
    UiaCondition every{0};
    UiaCacheRequest request{&every, 1, nullptr, 0, nullptr, 0, 1};
    SAFEARRAY* data = nullptr;
    BSTR tree = nullptr;
    HUIANODE found = nullptr;
    if (SUCCEEDED(navigate(node, direction, &every, &request, &data, &tree)) && data != nullptr) {
      LONG at[2] = {0, 0};
      VARIANT v;
      VariantInit(&v);
      if (SUCCEEDED(SafeArrayGetElement(data, at, &v)) && FAILED(fromVariant(&v, &found))) found = nullptr;
      SafeArrayDestroy(data);
    }
    SysFreeString(tree);
    return found;
  }

  winui::UniqueModule module;
  UiaNodeFromHandleFn fromHandle;
  UiaNodeReleaseFn release;
  UiaGetPropertyValueFn property;
  UiaNavigateFn navigate;
  UiaHUiaNodeFromVariantFn fromVariant;
};

}  // namespace quillet::testing
