// What the candidate window takes from the system instead of the settings: the colours of the
// high-contrast mode, and the DPI it is laid out at. The Windows shell reads both; the choices made
// with them are portable.
#pragma once

#include <cstdint>

#include "common/settings_record.h"

namespace quillet {

// The system colours a window draws in while high contrast is on, opaque.
struct SystemColors {
  Argb window = 0;         // background
  Argb windowText = 0;     // text and borders on it
  Argb highlight = 0;      // the selected row, a pressed arrow
  Argb highlightText = 0;  // text on the highlight
  Argb buttonFace = 0;     // tabs, title bar, spin boxes
  Argb buttonText = 0;     // text and borders on them

  bool operator==(const SystemColors& o) const {
    return window == o.window && windowText == o.windowText && highlight == o.highlight &&
           highlightText == o.highlightText && buttonFace == o.buttonFace && buttonText == o.buttonText;
  }
  bool operator!=(const SystemColors& o) const { return !(*this == o); }
};

// Element `e`'s palette in the system's colours, in the record's slot order. Nothing is translucent,
// and the window's gradient has one colour. The active tab joins the list below it in the window's
// colours; the other tabs are buttons.
ElementColors SystemPalette(const SystemColors& c, AppearanceElement e, bool activeTab = false);

// Layout is written for 96 DPI (100 %); sizes in pixels scale by dpi / 96.
constexpr uint32_t kBaseDpi = 96;
// A DPI the window can be laid out at: 0 (not known) is 96, others are kept within 50 % to 1000 %.
uint32_t UsableDpi(uint32_t dpi);
inline float ScaleByDpi(float pixels, uint32_t dpi) { return pixels * static_cast<float>(dpi) / kBaseDpi; }

}  // namespace quillet
