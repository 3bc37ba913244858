// Fonts through GDI+. A family that is not installed falls back, in order, to the generic sans-serif
// family, a few common families, and the first installed family, so a window always draws real
// glyphs; the generic family may be missing (Wine without its fonts), which is simply the next step.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "quillsvc/candwin/gdiplus_api.h"
#include "quillsvc/candwin/surface.h"

namespace quillet {

class GdiplusFont : public Font {
 public:
  GdiplusFont(gdip::FontPtr font, std::u16string family, float sizePx, FontStyle style)
      : font_(std::move(font)), family_(std::move(family)), sizePx_(sizePx), style_(style) {}

  DrawStatus status() const override { return font_ != nullptr ? DrawStatus::kOk : DrawStatus::kGenericError; }
  FontStyle style() const override { return style_; }
  std::unique_ptr<Font> WithStyle(FontStyle style) const override;

  Gdiplus::GpFont* get() const { return font_.get(); }
  // The family the font was made from (after any fallback).
  const std::u16string& family() const { return family_; }

 private:
  gdip::FontPtr font_;
  std::u16string family_;
  float sizePx_;
  FontStyle style_;
};

// Null only when no font object could be made from any family.
std::unique_ptr<GdiplusFont> CreateGdiplusFont(std::u16string_view family, float sizePx, FontStyle style);

class GdiplusFontFactory : public FontFactory {
 public:
  std::unique_ptr<Font> MakeFont(std::u16string_view family, float sizePx, FontStyle style) override {
    return CreateGdiplusFont(family, sizePx, style);
  }
};

}  // namespace quillet
