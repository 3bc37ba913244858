// A click receiver for tests of the candidate window: every report kept as a short line of text.
#pragma once

#include <string>
#include <vector>

#include "quillsvc/candwin/widget_mouse_callback.h"

namespace quillet::testing {

class RecordingCallback : public IWidgetMouseEventCallback {
 public:
  void OnTabClicked(int32_t t) override { events.push_back("tab " + std::to_string(t)); }
  void OnItemClicked(int32_t r) override { events.push_back("item " + std::to_string(r)); }
  void OnListScrolled(int32_t a) override { events.push_back("list " + std::to_string(a)); }
  void OnTabScrolled() override { events.push_back("tabs"); }
  void OnMouseEvent(uint32_t m, AppearanceElement e, int32_t i) override {
    events.push_back((m == kButtonDownMessage ? "down " : "up ") + std::to_string(static_cast<int>(e)) + " " +
                     std::to_string(i));
  }
  std::vector<std::string> events;
};

}  // namespace quillet::testing
