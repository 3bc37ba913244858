#include "quillsvc/candwin/gdiplus_font.h"

#include <vector>

#include "common/settings_record.h"

namespace quillet {
namespace {

using namespace gdip;

// Families tried after the generic one: metric-compatible free fonts first, then what most systems have.
constexpr std::u16string_view kFallbackFamilies[] = {u"Liberation Sans", u"DejaVu Sans", u"Tahoma", u"Arial"};

// The generic family is fetched once and never deleted, as the system expects of it; null when the
// system has none.
Gdiplus::GpFontFamily* GenericSansSerif() {
  static Gdiplus::GpFontFamily* const family = [] {
    Gdiplus::GpFontFamily* f = nullptr;
    return GdipGetGenericFontFamilySansSerif(&f) == Gdiplus::Ok ? f : nullptr;
  }();
  return family;
}

// The first family of the installed collection, which belongs to the collection; null when none.
Gdiplus::GpFontFamily* FirstInstalledFamily() {
  static Gdiplus::GpFontFamily* const family = []() -> Gdiplus::GpFontFamily* {
    Gdiplus::GpFontCollection* collection = nullptr;
    INT count = 0;
    if (GdipNewInstalledFontCollection(&collection) != Gdiplus::Ok ||
        GdipGetFontCollectionFamilyCount(collection, &count) != Gdiplus::Ok || count <= 0) {
      return nullptr;
    }
    std::vector<Gdiplus::GpFontFamily*> families(static_cast<size_t>(count));
    INT found = 0;
    if (GdipGetFontCollectionFamilyList(collection, count, families.data(), &found) != Gdiplus::Ok || found <= 0) {
      return nullptr;
    }
    return families[0];
  }();
  return family;
}

std::u16string FamilyName(Gdiplus::GpFontFamily* family) {
  WCHAR name[LF_FACESIZE] = {};
  if (GdipGetFamilyName(family, name, LANG_NEUTRAL) != Gdiplus::Ok) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(name));
}

std::unique_ptr<GdiplusFont> FromFamily(Gdiplus::GpFontFamily* family, float sizePx, FontStyle style) {
  if (family == nullptr) return nullptr;
  Gdiplus::GpFont* font = nullptr;
  if (GdipCreateFont(family, sizePx, static_cast<INT>(style), Gdiplus::UnitPixel, &font) != Gdiplus::Ok) {
    return nullptr;
  }
  FontPtr owned(font);
  return std::make_unique<GdiplusFont>(std::move(owned), FamilyName(family), sizePx, style);
}

std::unique_ptr<GdiplusFont> FromName(std::u16string_view name, float sizePx, FontStyle style) {
  const std::u16string terminated(name);
  Gdiplus::GpFontFamily* family = nullptr;
  if (GdipCreateFontFamilyFromName(Wide(terminated), nullptr, &family) != Gdiplus::Ok) return nullptr;
  // The font keeps what it needs of its family.
  const FontFamilyPtr owned(family);
  return FromFamily(family, sizePx, style);
}

}  // namespace

std::unique_ptr<Font> GdiplusFont::WithStyle(FontStyle style) const {
  return CreateGdiplusFont(family_, sizePx_, style);
}

std::unique_ptr<GdiplusFont> CreateGdiplusFont(std::u16string_view family, float sizePx, FontStyle style) {
  if (family.empty()) family = kDefaultFontName;
  if (auto f = FromName(family, sizePx, style)) return f;
  if (auto f = FromFamily(GenericSansSerif(), sizePx, style)) return f;
  for (std::u16string_view name : kFallbackFamilies) {
    if (auto f = FromName(name, sizePx, style)) return f;
  }
  return FromFamily(FirstInstalledFamily(), sizePx, style);
}

}  // namespace quillet
