// What the candidate window reports about clicks to its owner (the text service, or the appearance
// page's preview). Passed by raw pointer, not counted; element codes are AppearanceElement values,
// kWindow with index -1 when nothing was hit.
#pragma once

#include <cstdint>

#include "common/settings_record.h"

namespace quillet {

// The button messages OnMouseEvent reports, numbered as the window system numbers them.
inline constexpr uint32_t kButtonDownMessage = 0x0201;
inline constexpr uint32_t kButtonUpMessage = 0x0202;

class IWidgetMouseEventCallback {
 public:
  // A tab was clicked; the window has made it the active tab.
  virtual void OnTabClicked(int32_t tab) = 0;
  // A candidate row was clicked.
  virtual void OnItemClicked(int32_t row) = 0;
  // An arrow of the vertical spin box: 0 previous page, 1 next page.
  virtual void OnListScrolled(int32_t arrow) = 0;
  // An arrow of the horizontal spin box was clicked; the window has switched the tab already, and its
  // selected tab is the one to show.
  virtual void OnTabScrolled() = 0;
  // Every press and release, with what lies under the mouse.
  virtual void OnMouseEvent(uint32_t message, AppearanceElement element, int32_t index) = 0;

 protected:
  ~IWidgetMouseEventCallback() = default;
};

}  // namespace quillet
