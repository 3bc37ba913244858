#include "common/appearance_templates.h"

#include <array>
#include <cstring>

namespace quillet {
namespace {

constexpr size_t kSlots = kTabAppearanceSize / 4;
using Block = std::array<uint8_t, kTabAppearanceSize>;

// Lays out the colours little-endian at compile time, so the table holds the exact bytes that are
// copied over a tab's appearance.
constexpr Block MakeBlock(const uint32_t (&v)[kSlots]) {
  Block b{};
  for (size_t i = 0; i < kSlots; ++i) {
    b[4 * i] = static_cast<uint8_t>(v[i]);
    b[4 * i + 1] = static_cast<uint8_t>(v[i] >> 8);
    b[4 * i + 2] = static_cast<uint8_t>(v[i] >> 16);
    b[4 * i + 3] = static_cast<uint8_t>(v[i] >> 24);
  }
  return b;
}

struct AppearanceTemplate {
  char16_t name[kTemplateNameCapacity];  // NUL-terminated, rest zero
  Block colors;
};

// Rows in element order (tab, candidate list, title bar, addition bar, h-scroll, v-scroll, window);
// columns foreground, highlight foreground, background, highlight background, border, highlight border.
// In the window row the second column is the gradient angle in degrees.
constexpr AppearanceTemplate kTemplates[kTemplateCount] = {
    {u"template1", MakeBlock({
                       0xFFA52A00, 0x00000000, 0xB3FFAD5B, 0x00000000, 0xFF620000, 0x00000000,  //
                       0xFFFFFFFF, 0xFFFF0000, 0x62282828, 0x58282828, 0xFF282828, 0xFF282828,  //
                       0xFFFFFFFF, 0xFFFFFF00, 0x5F282828, 0x00000000, 0x81282828, 0x00000000,  //
                       0xFFFFFFFF, 0xFFFFFF00, 0x62282828, 0x00000000, 0x81282828, 0x00000000,  //
                       0xFFFF6820, 0x00000000, 0x69282828, 0x00000000, 0xFF8B0000, 0x00000000,  //
                       0xFFFF6820, 0xFFFFFF00, 0x00282828, 0x00000000, 0x00282828, 0x00000000,  //
                       0x00A52A00, 215,        0x00FFAD5B, 0x00000000, 0x00000000, 0x00000000,
                   })},
    {u"template2", MakeBlock({
                       0xFF000000, 0xFF00FF00, 0xCDF0F0F0, 0xFF000000, 0xFF000000, 0x00000000,  //
                       0xFF000000, 0xFFFFFFFF, 0x00666666, 0x81000000, 0xFF000000, 0xCD282828,  //
                       0xFFFFFFFF, 0xFFFFFFFF, 0xB3282828, 0xFF000000, 0x00000000, 0x00000000,  //
                       0xFFFFFFFF, 0x00000000, 0x9B000000, 0x00000000, 0x00000000, 0x00000000,  //
                       0xFF282828, 0xFFFFFFFF, 0x34000000, 0xFF000000, 0xFF000000, 0x00000000,  //
                       0xFF282828, 0xFFFFFFFF, 0x34000000, 0xFF000000, 0xFF000000, 0x00000000,  //
                       0x00F0F0F0, 60,         0x00C8C8C8, 0x00000000, 0x00000000, 0x00000000,
                   })},
    {u"template3", MakeBlock({
                       0xFF0000FF, 0x00000000, 0xCD40E0D0, 0x00000000, 0xFF0000FF, 0x00000000,  //
                       0xFF0000FF, 0xFFFFD700, 0x727D9EC0, 0x7C282828, 0x00000000, 0x69000000,  //
                       0xFFE6E6FA, 0x00000000, 0x7C282828, 0x00000000, 0xFF00008B, 0x00000000,  //
                       0xFFFFFFFF, 0x00000000, 0x8A282828, 0x00000000, 0xFF282828, 0x00000000,  //
                       0xFFA52A00, 0xFFFFAD5B, 0x00000000, 0x00000000, 0x7EA52A00, 0x00000000,  //
                       0xFFA52A00, 0xFFFFAD5B, 0x00000000, 0x00000000, 0x9DA52A00, 0x00000000,  //
                       0x00AFEEEE, 278,        0x0040E0D0, 0x00000000, 0x00000000, 0x00000000,
                   })},
    {u"template4", MakeBlock({
                       0xFFFFFFFF, 0xFF000000, 0xCD32CD32, 0xFF000000, 0xFF004600, 0xFF000000,  //
                       0xFFE6E6FA, 0xFFFF6820, 0x53282828, 0xEC005500, 0xFF282828, 0x99000000,  //
                       0xFFE6E6FA, 0xFF0000FF, 0x56282828, 0x00000000, 0xFF282828, 0x00000000,  //
                       0xFFE6E6FA, 0xFFFF6820, 0x51282828, 0xEC005500, 0xFF282828, 0x99000000,  //
                       0xFFC0C0C0, 0xFF00FF00, 0x00000000, 0xFFC0C0C0, 0xFF004600, 0x00000000,  //
                       0xFFC0C0C0, 0xFF00FF00, 0x00000000, 0xFFC0C0C0, 0xFFC0C0C0, 0x00000000,  //
                       0x00009300, 235,        0x0032CD32, 0x00000000, 0x00005500, 0x00000000,
                   })},
    {u"template5", MakeBlock({
                       0xFFFFE4E1, 0x00000000, 0xCDFF75FF, 0x00000000, 0xFF480048, 0x00000000,  //
                       0xFFF48ADF, 0xFFFFFFFF, 0x885F5F5F, 0xB5C84DBB, 0x7E7D7D7D, 0x56000000,  //
                       0xFFFFE4E1, 0x00000000, 0x00666666, 0x00000000, 0x81FFFFFF, 0x00000000,  //
                       0xFFFFE4E1, 0x00000000, 0x7E666666, 0x00000000, 0x7CFFFFFF, 0x00000000,  //
                       0xFDC0C0C0, 0xFFFF2BFF, 0x00FFFFFF, 0x00000000, 0xFF800080, 0x00000000,  //
                       0xFFC0C0C0, 0xFFFF46FF, 0x00000000, 0x00000000, 0xFFC0C0C0, 0x00000000,  //
                       0x007F7F7F, 164,        0x00282828, 0x00000000, 0x004B0082, 0x00000000,
                   })},
};

static_assert(sizeof(kTemplates) / sizeof(kTemplates[0]) == kTemplateCount, "five templates");
static_assert(2 * kTemplateNameCapacity + kTabAppearanceSize == 268, "a template is 268 bytes");

}  // namespace

std::u16string_view TemplateName(size_t k) { return k < kTemplateCount ? kTemplates[k].name : u""; }

const uint8_t* TemplateBlock(size_t k) { return k < kTemplateCount ? kTemplates[k].colors.data() : nullptr; }

TabAppearance TemplateColors(size_t k) {
  return k < kTemplateCount ? ReadTabAppearance(kTemplates[k].colors.data()) : TabAppearance{};
}

bool ApplyTemplate(SettingsView s, size_t tab, size_t k) {
  if (k >= kTemplateCount || tab >= s.tabCount()) return false;
  TabRecord t = s.tab(tab);
  if (!t.valid()) return false;
  std::memcpy(t.bytes() + kTabAppearanceOffset, kTemplates[k].colors.data(), kTabAppearanceSize);
  return true;
}

}  // namespace quillet
