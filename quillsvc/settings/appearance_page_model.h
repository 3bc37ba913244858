// The rules of the "Appearance" settings page over the sheet's private settings record: what the
// colour, alpha, angle, font and visibility controls show for one tab and element, how their values
// are stored back, and the built-in templates. Colours travel as GDI colour values (0x00BBGGRR) with
// a separate alpha, as the colour buttons and trackbars hold them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/settings_record.h"
#include "quillsvc/settings/notice.h"

namespace quillet::settings {

constexpr int kMaxAngle = 359;
constexpr int kMaxFontSizeChoice = 100;

struct ColorSetting {
  uint32_t colorRef = 0;  // 0x00BBGGRR; a colour button's "automatic" (0xFF000000) reads as black
  uint8_t alpha = 255;
};

// The state of the page's controls for one (tab, element).
struct ElementControls {
  bool window = false;     // the Window element: gradient colours, border and angle, no alpha
  ColorSetting colors[3];  // "Foreground:"/"Color1:", "Background:"/"Color2:", "Border:"
  int angle = 0;           // window only, 0..359
  bool highlightEnabled = false;
  ColorSetting highlight[3];  // meaningful only when enabled; a disabled group keeps what it showed
  bool fontEnabled = false;
  int fontChoice = -1;  // position in the font list, -1 for no selection
  int fontSize = 0;
  bool visibleEnabled = false;
  bool visible = false;
};

// The element's name in the page's element list ("Tab", "Candidate List", ...); empty for other values.
std::u16string_view AppearanceElementText(AppearanceElement e);

// Which controls an element has.
bool HasHighlight(AppearanceElement e);    // Tab, Candidate List, H-Scroll bar, V-Scroll bar
bool HasFont(AppearanceElement e);         // Tab, Candidate List, Title bar, Addition bar
bool HasVisibleFlag(AppearanceElement e);  // every element but the window

// "70%" for alpha 179: alpha * 100 / 255 rounded down.
std::u16string AlphaPercentText(uint8_t alpha);
std::u16string AngleText(int angle);

class AppearancePageModel {
 public:
  explicit AppearancePageModel(SettingsView settings) : s_(settings) {}

  size_t tabCount() const { return s_.tabCount(); }
  // The record the page edits (the preview draws from it).
  ConstSettingsView view() const { return s_; }
  std::vector<std::u16string> TabNames() const;
  static std::vector<std::u16string> ElementNames();
  static std::vector<std::u16string> TemplateNames();

  // The controls for (tab, element); nullopt when the tab does not exist. `fonts` is the font list as
  // shown (sorted): a stored family that is missing shows as "Times New Roman", or else the first
  // family. The record is not touched: what the list shows is stored only when the user edits.
  std::optional<ElementControls> Load(size_t tab, AppearanceElement e, const std::vector<std::u16string>& fonts) const;
  // Stores the controls into (tab, element). True when the record changed.
  bool Store(size_t tab, AppearanceElement e, const ElementControls& c, const std::vector<std::u16string>& fonts);
  // Copies template k's colours over the tab's; fonts and visibility stay. True when anything changed.
  bool ApplyTemplate(size_t tab, size_t k);

  // The tab the preview showed when the page was last left; 0 when that tab is gone.
  size_t PreviewTab() const;
  void RememberPreviewTab(int tab) { previewTab_ = tab; }

  // Apply never refuses; commits when anything changed since the last commit.
  ApplyDecision Apply();
  void CommitFailed() { changed_ = true; }
  bool changed() const { return changed_; }

 private:
  SettingsView s_;
  int previewTab_ = 0;
  bool changed_ = false;
};

}  // namespace quillet::settings
