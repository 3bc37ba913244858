// Random settings records through the candidate window: any bytes in the tab and appearance areas,
// counts beyond the capacity, any layout kind, random size caps, rows, drawing failures and clicks.
// Nothing may crash, loop for ever, or read outside the record (it lies alone on the heap).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/le.h"
#include "common/settings_record.h"
#include "quillsvc/candwin/cand_list_core.h"
#include "quillsvc/candwin/test_surface.h"

namespace {

using namespace quillet;

class Host final : public CandListHost {
 public:
  std::unique_ptr<Surface> MeasuringSurface() override { return std::make_unique<testing::TestSurface>(); }
  void Invalidate() override {}
  bool DocumentCaret(int32_t*, int32_t*) override { return false; }
  RectI WorkArea(const RectI&) override { return {0, 0, 1280, 1024}; }
  bool SetWindowRect(const RectI&, bool) override { return false; }
};

class Callback final : public IWidgetMouseEventCallback {
 public:
  void OnTabClicked(int32_t) override {}
  void OnItemClicked(int32_t) override {}
  void OnListScrolled(int32_t) override {}
  void OnTabScrolled() override {}
  void OnMouseEvent(uint32_t, AppearanceElement, int32_t) override {}
};

// Input: 12 control bytes, then bytes laid over the record from the tab count onwards.
struct Control {
  int32_t activeTab;
  int32_t maxWidth;
  int32_t maxHeight;
  size_t rows;
  size_t failEvery;  // 0: no drawing failure
  uint8_t layoutKind;
  uint8_t selected;
  PointF click;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  const Control c{static_cast<int8_t>(data[0]),
                  static_cast<int32_t>(LoadU16(data + 1)) - 100,
                  static_cast<int32_t>(LoadU16(data + 3)) - 100,
                  static_cast<size_t>(data[5] % 12),
                  static_cast<size_t>(data[6] % 16),
                  static_cast<uint8_t>(data[7] % 3 == 0 ? data[7] : 0),
                  data[8],
                  {static_cast<float>(data[9]), static_cast<float>(LoadU16(data + 10) % 600)}};
  data += 12;
  size -= 12;

  // A record built like the defaults, then overwritten from the tab count onwards.
  const SettingsRecord defaults = MakeDefaultSettings();
  auto record = std::make_unique<uint8_t[]>(kSettingsRecordSize);
  std::memcpy(record.get(), defaults.data(), kSettingsRecordSize);
  std::memcpy(record.get() + kTabCountOffset, data, std::min(size, kSettingsRecordSize - kTabCountOffset));
  record[kLayoutKindOffset] = c.layoutKind;

  testing::TestFontFactory fonts;
  Host host;
  Callback callback;
  testing::TestSurface window;
  size_t calls = 0;
  if (c.failEvery != 0) {
    window.log().failIf = [&](const testing::Call&) { return ++calls % c.failEvery == 0; };
  }
  CandListCore core(record.get(), kSettingsRecordSize, &callback, fonts, host);
  core.BuildWidgets(c.activeTab, c.maxWidth, c.maxHeight);
  if (CWidgetMgrTopLayout* m = core.manager(); m != nullptr && m->candidateList != nullptr) {
    for (size_t i = 0; i < c.rows; ++i) m->candidateList->Append(std::u16string(i * 3 + 1, u'w'));
    core.MoveSelection(c.selected % 11);
    core.SetAdditionText(c.rows % 2 == 0 ? u"" : u"description");
  }
  core.SetExtent({100, 100, 140, 120});
  core.Paint(window, {200, 300});
  core.Press(c.click);
  core.Release(c.click);
  core.NextTab();
  core.PrevTab();
  core.Paint(window, {200, 300});
  if (CWidgetMgrTopLayout* m = core.manager()) {
    AppearanceElement element;
    int32_t index;
    for (float y = 0; y < 120; y += 7) m->HitTest({c.click.x, y}, &element, &index);
  }
  return 0;
}
