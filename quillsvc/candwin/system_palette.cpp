#include "quillsvc/candwin/system_palette.h"

#include <algorithm>

namespace quillet {
namespace {

constexpr uint32_t kMinDpi = kBaseDpi / 2;
constexpr uint32_t kMaxDpi = kBaseDpi * 10;

}  // namespace

ElementColors SystemPalette(const SystemColors& c, AppearanceElement e, bool activeTab) {
  const ElementColors onWindow{c.windowText, c.highlightText, c.window, c.highlight, c.windowText, c.highlight};
  const ElementColors onButton{c.buttonText, c.highlightText, c.buttonFace, c.highlight, c.buttonText, c.highlight};
  switch (e) {
    case AppearanceElement::kTab:
      return activeTab ? onWindow : onButton;
    case AppearanceElement::kTitleBar:
    case AppearanceElement::kHScrollBar:
    case AppearanceElement::kVScrollBar:
      return onButton;
    case AppearanceElement::kWindow:
      return ElementColors{c.window, 0, c.window, 0, c.windowText, 0};
    default:
      return onWindow;
  }
}

uint32_t UsableDpi(uint32_t dpi) { return dpi == 0 ? kBaseDpi : std::clamp(dpi, kMinDpi, kMaxDpi); }

}  // namespace quillet
