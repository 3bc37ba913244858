#include "quillsvc/candwin/widget_base.h"

namespace quillet {

Argb PaletteSlot(const ElementColors& p, int32_t slot) {
  switch (slot) {
    case 0:
      return p.foreground;
    case 1:
      return p.highlightForeground;
    case 2:
      return p.background;
    case 3:
      return p.highlightBackground;
    case 4:
      return p.border;
    case 5:
      return p.highlightBorder;
    default:
      return 0;
  }
}

}  // namespace quillet
