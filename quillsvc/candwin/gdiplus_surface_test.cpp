// The GDI+ surface on bitmaps: the candidate list drawn with its rows as the lines of one text gives
// the pixels of the same rows drawn one line at a time, and a frame that starts from the kept
// background gives the pixels of one drawn in full.
#include "quillsvc/candwin/gdiplus_surface.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quillsvc/candwin/gdiplus_font.h"
#include "quillsvc/candwin/text_list.h"

namespace quillet {
namespace {

gdip::Session& Gdiplus() {
  static gdip::Session session;
  return session;
}

// A 32-bit ARGB bitmap over pixels of its own, with a surface on it.
class Bitmap {
 public:
  Bitmap(int32_t width, int32_t height, GdiplusFrameCache* cache = nullptr)
      : pixels_(static_cast<size_t>(width) * height) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    gdip::GdipCreateBitmapFromScan0(width, height, width * 4, PixelFormat32bppARGB,
                                    reinterpret_cast<BYTE*>(pixels_.data()), &bitmap);
    image_.reset(bitmap);
    Gdiplus::GpGraphics* g = nullptr;
    if (bitmap != nullptr) gdip::GdipGetImageGraphicsContext(bitmap, &g);
    if (g != nullptr) surface_ = std::make_unique<GdiplusSurface>(gdip::GraphicsPtr(g), cache);
  }
  GdiplusSurface& surface() { return *surface_; }
  bool ready() const { return surface_ != nullptr; }
  const std::vector<uint32_t>& pixels() {
    gdip::GdipFlush(surface_->graphics(), Gdiplus::FlushIntentionSync);
    return pixels_;
  }

 private:
  std::vector<uint32_t> pixels_;  // outlives the bitmap and its graphics
  gdip::ImagePtr image_;
  std::unique_ptr<GdiplusSurface> surface_;
};

// Passes everything on, but draws a text of several lines one line at a time, each line lower by
// `pitch`: what the list would draw row by row.
class LineByLine : public Surface {
 public:
  LineByLine(Surface& inner, float pitch) : inner_(inner), pitch_(pitch) {}
  void FillRect(const RectF& r, Argb c) override { inner_.FillRect(r, c); }
  void FrameRect(const RectF& r, Argb c) override { inner_.FrameRect(r, c); }
  void DrawLine(Argb c, PointF a, PointF b) override { inner_.DrawLine(c, a, b); }
  void FillPolygon(Argb c, const PointF* p, size_t n) override { inner_.FillPolygon(c, p, n); }
  void FillPath(Argb c, const Path& p) override { inner_.FillPath(c, p); }
  bool MeasureText(std::u16string_view t, const Font& f, PointF o, RectF* b) override {
    return inner_.MeasureText(t, f, o, b);
  }
  void DrawTextAt(std::u16string_view text, const Font& f, Argb c, PointF at) override {
    for (size_t start = 0, line = 0;; ++line) {
      const size_t end = text.find(u'\n', start);
      inner_.DrawTextAt(text.substr(start, end - start), f, c, {at.x, at.y + pitch_ * static_cast<float>(line)});
      if (end == std::u16string_view::npos) return;
      start = end + 1;
    }
  }
  void DrawTextInBox(std::u16string_view t, const Font& f, Argb c, const RectF& b, bool trim) override {
    inner_.DrawTextInBox(t, f, c, b, trim);
  }
  bool PushClip(const RectF& r) override { return inner_.PushClip(r); }
  void PopClip() override { inner_.PopClip(); }
  void FillGradient(const RectI& r, Argb a, Argb b, float angle) override { inner_.FillGradient(r, a, b, angle); }
  void FrameRectInset(const RectI& r, Argb c) override { inner_.FrameRectInset(r, c); }
  std::unique_ptr<OffscreenFrame> CreateOffscreen(SizeI size) override { return inner_.CreateOffscreen(size); }

 private:
  Surface& inner_;
  float pitch_;
};

size_t Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  size_t n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
  return n;
}

TEST(GdiplusSurfaceTest, RowsDrawnAsLinesOfOneTextArePixelForPixelTheRowsDrawnOneByOne) {
  ASSERT_TRUE(Gdiplus().started());
  // Opaque and half-transparent text over a half-transparent list on an opaque window.
  const ElementColors colors{0xFFFFFFFF, 0x80FF2000, 0x62282828, 0x58282828, 0xFF282828, 0xFF282828};
  const ElementColors* palettes[] = {&colors};
  const std::u16string words[] = {u"the",     u"Thea",       u"theater",      u" leading", u"trailing  ",
                                  u"quilted", u"theatrical", u"theatrically", u"Qjy|",     u"thee"};
  for (const std::u16string_view family : {u"", u"Liberation Sans", u"DejaVu Sans", u"No Such Family"}) {
    for (const float size : {6.0f, 11.0f, 16.0f, 23.0f}) {
      const std::unique_ptr<GdiplusFont> font = CreateGdiplusFont(family, size, FontStyle::kRegular);
      ASSERT_NE(font, nullptr);
      for (const int32_t selected : {0, 4, 9}) {
        SCOPED_TRACE(std::string(family.begin(), family.end()) + " " + std::to_string(size) + " row " +
                     std::to_string(selected));
        Bitmap lines(160, 320), rows(160, 320);
        ASSERT_TRUE(lines.ready() && rows.ready());
        CTextList list(true);
        for (const std::u16string& w : words) list.Append(w);
        list.selected = selected;
        list.Measure(lines.surface(), {4.5f, 3.25f}, *font);
        ASSERT_TRUE(list.RowsAsLines());
        LineByLine oneByOne(rows.surface(), list.itemHeight);
        for (Surface* s : {static_cast<Surface*>(&lines.surface()), static_cast<Surface*>(&oneByOne)}) {
          s->FillRect({0, 0, 160, 320}, 0xFF3060A0);
          list.Draw(*s, palettes, 1, font.get());
        }
        EXPECT_EQ(lines.surface().status(), DrawStatus::kOk);
        EXPECT_EQ(Differing(lines.pixels(), rows.pixels()), 0u);
      }
    }
  }
}

TEST(GdiplusSurfaceTest, AFrameStartedFromTheKeptBackgroundIsTheFrameDrawnInFull) {
  ASSERT_TRUE(Gdiplus().started());
  GdiplusFrameCache kept;
  Bitmap window(90, 120, &kept), plain(90, 120);
  ASSERT_TRUE(window.ready() && plain.ready());
  auto paint = [](Bitmap& target, Argb from) {
    const std::unique_ptr<OffscreenFrame> frame = target.surface().CreateOffscreen({90, 120});
    ASSERT_NE(frame, nullptr);
    frame->surface().FillGradient({0, 0, 89, 119}, from, 0xFFFFAD5B, 215);
    frame->surface().FrameRectInset({0, 0, 89, 119}, 0xFF000000);
    frame->surface().FillRect({4, 20, 60, 40}, 0x62282828);
    frame->Present();
  };
  for (const Argb from : {0xFFA52A00u, 0xFFA52A00u, 0xFF00A52Au, 0xFFA52A00u}) {
    SCOPED_TRACE(from);
    paint(window, from);  // drawn in full, then from the kept background when its colours come again
    paint(plain, from);   // always in full: no cache
    EXPECT_NE(kept.Find({{90, 120}, {0, 0, 89, 119}, from, 0xFFFFAD5B, 215}), nullptr) << "the background is kept";
    EXPECT_EQ(Differing(window.pixels(), plain.pixels()), 0u);
    EXPECT_EQ(window.surface().status(), DrawStatus::kOk);
  }
  EXPECT_EQ(plain.pixels()[0], 0xFF000000u);          // the border
  EXPECT_NE(plain.pixels()[91], plain.pixels()[88]);  // the gradient varies along a row
}

// The window's fonts are these (GdiplusFontFactory): a family that is not installed falls back to one
// that is, whose glyphs show.
TEST(GdiplusSurfaceTest, AFamilyThatIsNotInstalledStillDrawsRealGlyphs) {
  ASSERT_TRUE(Gdiplus().started());
  const std::unique_ptr<GdiplusFont> font = CreateGdiplusFont(u"No Such Family", 16, FontStyle::kRegular);
  ASSERT_NE(font, nullptr);
  EXPECT_FALSE(font->family().empty());
  Bitmap text(160, 30);
  ASSERT_TRUE(text.ready());
  text.surface().FillRect({0, 0, 160, 30}, 0xFFFFFFFF);
  text.surface().DrawTextAt(u"quilted words", *font, 0xFF000000, {4, 4});
  size_t dark = 0;
  for (uint32_t p : text.pixels()) dark += (p & 0xFF) < 100 ? 1 : 0;
  EXPECT_GT(dark, 100u);
}

}  // namespace
}  // namespace quillet
