// The settings record: one fixed 15700-byte layout shared by the loader, every text service and the
// settings sheet. It is used in place in the shared settings block, so it is reached only through
// accessors that read and write each field at its offset. The same accessors work on a private copy
// (SettingsRecord) and on the block's bytes.
//
// Every accessor is bounds-safe: a view over fewer than kSettingsRecordSize bytes is invalid and reads
// zeros and empty texts and writes nothing; tab and dictionary positions beyond the capacity give an
// invalid record that behaves the same. Counts stored beyond the capacity (a record not written by
// this system) are clamped by the readers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// ---- Layout ---------------------------------------------------------------------------------------

constexpr size_t kSettingsRecordSize = 15700;
constexpr size_t kTabRecordSize = 276;
constexpr size_t kDictionaryRecordSize = 1060;
constexpr size_t kElementColorsSize = 24;
constexpr size_t kTabAppearanceSize = 168;
constexpr size_t kMaxTabs = 9;
constexpr size_t kMaxDictionaries = 12;

// The drawable parts of the candidate window; also the widget codes of hit tests (kWindow = none hit).
enum class AppearanceElement : uint8_t {
  kTab = 0,
  kCandidateList = 1,
  kTitleBar = 2,
  kAdditionBar = 3,
  kHScrollBar = 4,
  kVScrollBar = 5,
  kWindow = 6,
};

constexpr size_t kAppearanceElementCount = static_cast<size_t>(AppearanceElement::kWindow) + 1;
// Every element but the window has a visibility flag; the four before the scroll bars have a font.
constexpr size_t kVisibleFlagCount = static_cast<size_t>(AppearanceElement::kWindow);
constexpr size_t kFontCount = static_cast<size_t>(AppearanceElement::kHScrollBar);

// Record offsets.
constexpr size_t kTabCountOffset = 104;
constexpr size_t kLayoutKindOffset = 106;
constexpr size_t kVisibleOffset = 108;
constexpr size_t kTabsOffset = 116;
constexpr size_t kFontSizeOffset = 2600;
constexpr size_t kFontNameOffset = 2608;
constexpr size_t kFontNameCapacity = 32;  // characters, terminator included
constexpr size_t kDictionaryCountOffset = 2864;
constexpr size_t kDictionariesOffset = 2868;
constexpr size_t kTrailingReservedOffset = 15588;

// Tab record offsets.
constexpr size_t kTabShowFromLettersOffset = 0;
constexpr size_t kTabMinWordLengthOffset = 2;
constexpr size_t kTabIdOffset = 4;
constexpr size_t kTabLinkTabIdOffset = 6;
constexpr size_t kTabDictionaryIdOffset = 8;
constexpr size_t kTabNameOffset = 12;
constexpr size_t kTabNameCapacity = 16;
constexpr size_t kTabTitleOffset = 44;
constexpr size_t kTabTitleCapacity = 32;
constexpr size_t kTabAppearanceOffset = 108;

// Dictionary record offsets.
constexpr size_t kDictionaryIdOffset = 0;
constexpr size_t kDictionaryNameOffset = 4;
constexpr size_t kDictionaryNameCapacity = 16;
constexpr size_t kDictionaryDescriptionOffset = 36;
constexpr size_t kDictionaryDescriptionCapacity = 256;
constexpr size_t kDictionaryPathOffset = 548;
constexpr size_t kDictionaryPathCapacity = 256;

// The two ranges the settings sheet writes back as units, [begin, end).
struct ByteRange {
  size_t begin;
  size_t end;
  constexpr size_t size() const { return end - begin; }
};
constexpr ByteRange kTabsSection{kTabCountOffset, kDictionaryCountOffset};
constexpr ByteRange kDictionariesSection{kDictionaryCountOffset, kTrailingReservedOffset};

static_assert(kTabsOffset + kMaxTabs * kTabRecordSize == kFontSizeOffset, "tab 8 ends where the font sizes begin");
static_assert(kFontSizeOffset + 2 * kFontCount == kFontNameOffset, "four u16 font sizes");
static_assert(kFontNameOffset + 2 * kFontNameCapacity * kFontCount == kDictionaryCountOffset, "four 32-char names");
static_assert(kDictionariesOffset + kMaxDictionaries * kDictionaryRecordSize == kTrailingReservedOffset,
              "dictionary 11 ends where the trailing reserved range begins");
static_assert(kTrailingReservedOffset + 112 == kSettingsRecordSize, "112 trailing reserved bytes");
static_assert(kTabNameOffset + 2 * kTabNameCapacity == kTabTitleOffset, "tab name is 16 characters");
static_assert(kTabTitleOffset + 2 * kTabTitleCapacity == kTabAppearanceOffset, "tab title is 32 characters");
static_assert(kElementColorsSize * kAppearanceElementCount == kTabAppearanceSize, "seven ElementColors");
static_assert(kTabAppearanceOffset + kTabAppearanceSize == kTabRecordSize, "appearance ends the tab record");
static_assert(kDictionaryNameOffset + 2 * kDictionaryNameCapacity == kDictionaryDescriptionOffset, "name");
static_assert(kDictionaryDescriptionOffset + 2 * kDictionaryDescriptionCapacity == kDictionaryPathOffset, "desc");
static_assert(kDictionaryPathOffset + 2 * kDictionaryPathCapacity == kDictionaryRecordSize, "path ends the record");
static_assert(kTabsSection.size() == 2760 && kDictionariesSection.size() == 12724, "section sizes");

// ---- Colours ----------------------------------------------------------------------------------------

// 0xAARRGGBB, alpha 255 opaque and 0 transparent; the layout the drawing code takes directly.
using Argb = uint32_t;

inline uint8_t ArgbAlpha(Argb c) { return static_cast<uint8_t>(c >> 24); }
// The window's colours are stored with alpha 0 but always drawn opaque.
inline Argb OpaqueArgb(Argb c) { return c | 0xFF000000u; }
// A GDI colour value is 0x00BBGGRR: red and blue swap places.
inline Argb ArgbFromColorRef(uint32_t colorRef, uint8_t alpha) {
  return (static_cast<uint32_t>(alpha) << 24) | ((colorRef & 0xFFu) << 16) | (colorRef & 0xFF00u) |
         ((colorRef >> 16) & 0xFFu);
}
inline uint32_t ColorRefFromArgb(Argb c) { return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu); }

// Six slots per element. For the window element the slots mean something else; see the helpers below.
struct ElementColors {
  Argb foreground = 0;
  Argb highlightForeground = 0;
  Argb background = 0;
  Argb highlightBackground = 0;
  Argb border = 0;
  Argb highlightBorder = 0;

  bool operator==(const ElementColors& o) const {
    return foreground == o.foreground && highlightForeground == o.highlightForeground && background == o.background &&
           highlightBackground == o.highlightBackground && border == o.border && highlightBorder == o.highlightBorder;
  }
  bool operator!=(const ElementColors& o) const { return !(*this == o); }
};

// Window element: gradient start and end colours, and the gradient angle in whole degrees stored as a
// plain number in the highlight-foreground slot.
inline Argb GradientColor1(const ElementColors& window) { return window.foreground; }
inline Argb GradientColor2(const ElementColors& window) { return window.background; }
inline uint32_t GradientAngle(const ElementColors& window) { return window.highlightForeground; }

struct TabAppearance {
  ElementColors elements[kAppearanceElementCount];

  ElementColors& operator[](AppearanceElement e) { return elements[static_cast<size_t>(e)]; }
  const ElementColors& operator[](AppearanceElement e) const { return elements[static_cast<size_t>(e)]; }
  bool operator==(const TabAppearance& o) const;
  bool operator!=(const TabAppearance& o) const { return !(*this == o); }
};

ElementColors ReadElementColors(const uint8_t* p);
void WriteElementColors(uint8_t* p, const ElementColors& c);
TabAppearance ReadTabAppearance(const uint8_t* p);
void WriteTabAppearance(uint8_t* p, const TabAppearance& a);

// ---- Fixed-capacity text fields ---------------------------------------------------------------------

// Reads up to the first NUL or the capacity, whichever comes first; a missing terminator is tolerated.
std::u16string ReadFixedText(const uint8_t* p, size_t capacity);
// Writes at most capacity-1 characters (never half a surrogate pair), then zeros the rest of the
// field. Returns false when the text had to be cut.
bool WriteFixedText(uint8_t* p, size_t capacity, std::u16string_view text);

// ---- Tab and dictionary records ---------------------------------------------------------------------

// Read access to one 276-byte tab record. A default-constructed record is invalid and reads as zeros.
class ConstTabRecord {
 public:
  ConstTabRecord() = default;
  explicit ConstTabRecord(const uint8_t* p) : p_(p) {}

  bool valid() const { return p_ != nullptr; }
  const uint8_t* bytes() const { return p_; }

  uint16_t showFromLetters() const;
  uint16_t minWordLength() const;
  uint16_t tabId() const;
  int16_t linkTabId() const;
  int16_t dictionaryId() const;
  std::u16string name() const;
  std::u16string title() const;
  TabAppearance appearance() const;
  ElementColors colors(AppearanceElement e) const;

 protected:
  const uint8_t* p_ = nullptr;
};

class TabRecord : public ConstTabRecord {
 public:
  TabRecord() = default;
  explicit TabRecord(uint8_t* p) : ConstTabRecord(p) {}

  uint8_t* bytes() const { return const_cast<uint8_t*>(p_); }  // constructed from a writable pointer

  void SetShowFromLetters(uint16_t v) const;
  void SetMinWordLength(uint16_t v) const;
  void SetTabId(uint16_t v) const;
  void SetLinkTabId(int16_t v) const;
  void SetDictionaryId(int16_t v) const;
  bool SetName(std::u16string_view v) const;   // false when cut to 15 characters
  bool SetTitle(std::u16string_view v) const;  // false when cut to 31 characters
  void SetColors(AppearanceElement e, const ElementColors& c) const;
  void Clear() const;  // all 276 bytes zero
};

// Read access to one 1060-byte dictionary record.
class ConstDictionaryRecord {
 public:
  ConstDictionaryRecord() = default;
  explicit ConstDictionaryRecord(const uint8_t* p) : p_(p) {}

  bool valid() const { return p_ != nullptr; }
  const uint8_t* bytes() const { return p_; }

  uint16_t dictionaryId() const;
  std::u16string name() const;
  std::u16string description() const;
  std::u16string path() const;

 protected:
  const uint8_t* p_ = nullptr;
};

class DictionaryRecord : public ConstDictionaryRecord {
 public:
  DictionaryRecord() = default;
  explicit DictionaryRecord(uint8_t* p) : ConstDictionaryRecord(p) {}

  uint8_t* bytes() const { return const_cast<uint8_t*>(p_); }

  void SetDictionaryId(uint16_t v) const;
  bool SetName(std::u16string_view v) const;         // false when cut to 15 characters
  bool SetDescription(std::u16string_view v) const;  // false when cut to 255 characters
  bool SetPath(std::u16string_view v) const;         // false when cut to 255 characters
  void Clear() const;
};

// ---- Whole record -----------------------------------------------------------------------------------

// Read access to a whole record lying in [data, data + size). Invalid when size is too small.
class ConstSettingsView {
 public:
  ConstSettingsView() = default;
  ConstSettingsView(const uint8_t* data, size_t size)
      : p_(data != nullptr && size >= kSettingsRecordSize ? data : nullptr) {}

  bool valid() const { return p_ != nullptr; }
  const uint8_t* bytes() const { return p_; }

  uint16_t rawTabCount() const;
  size_t tabCount() const;  // clamped to kMaxTabs
  uint8_t layoutKind() const;
  // Elements 0 to 5; the window (and anything else) has no flag and reads as shown.
  bool visible(AppearanceElement e) const;
  // Elements 0 to 3 as stored; 0 and empty for the others.
  uint16_t fontSize(AppearanceElement e) const;
  std::u16string fontName(AppearanceElement e) const;
  uint16_t rawDictionaryCount() const;
  size_t dictionaryCount() const;  // clamped to kMaxDictionaries

  // Any slot below the capacity, valid or not; invalid beyond it.
  ConstTabRecord tab(size_t i) const;
  ConstDictionaryRecord dictionary(size_t i) const;

 protected:
  const uint8_t* p_ = nullptr;
};

class SettingsView : public ConstSettingsView {
 public:
  SettingsView() = default;
  SettingsView(uint8_t* data, size_t size) : ConstSettingsView(data, size) {}

  uint8_t* bytes() const { return const_cast<uint8_t*>(p_); }

  void SetTabCount(uint16_t v) const;
  void SetLayoutKind(uint8_t v) const;
  void SetVisible(AppearanceElement e, bool shown) const;  // written as 0 or 1
  void SetFontSize(AppearanceElement e, uint16_t v) const;
  bool SetFontName(AppearanceElement e, std::u16string_view v) const;  // false when cut to 31 characters
  void SetDictionaryCount(uint16_t v) const;

  TabRecord tab(size_t i) const;
  DictionaryRecord dictionary(size_t i) const;
};

// A private copy of the record, zeroed when made.
class SettingsRecord {
 public:
  SettingsRecord() { bytes_.fill(0); }

  // Copies a whole record; false (and nothing changed) when fewer than kSettingsRecordSize bytes.
  bool CopyFrom(const uint8_t* data, size_t size);

  uint8_t* data() { return bytes_.data(); }
  const uint8_t* data() const { return bytes_.data(); }
  static constexpr size_t size() { return kSettingsRecordSize; }

  SettingsView view() { return SettingsView(bytes_.data(), bytes_.size()); }
  ConstSettingsView view() const { return ConstSettingsView(bytes_.data(), bytes_.size()); }

 private:
  std::array<uint8_t, kSettingsRecordSize> bytes_;
};

// ---- Editing rules ------------------------------------------------------------------------------------

constexpr std::u16string_view kDefaultFontName = u"Times New Roman";
constexpr uint16_t kDefaultFontSize = 16;
constexpr uint16_t kMinFontSize = 6;
constexpr std::u16string_view kNewTabName = u"New Tab";

enum class IdList { kTabs, kDictionaries };

// The smallest id in 0..n-1 not used by the first n records (n the clamped count), or n when all are
// used; 0 for an empty list. Never an id in use.
uint16_t AllocateId(ConstSettingsView s, IdList list);

// Position of the first valid tab whose id equals `id` (both as signed 16-bit), or -1.
int TabPosition(ConstSettingsView s, int16_t id);
// Position of the first valid dictionary whose id equals `id`, or -1.
int DictionaryPosition(ConstSettingsView s, int32_t id);

// Appends a tab with the new-tab defaults (see the .cpp) and fills empty font slots with the default
// font. False, with nothing written, when the list is full or the view invalid.
bool AddTab(SettingsView s);
// The name a dictionary gets from its path: the file name without folder and extension.
std::u16string DictionaryNameFromPath(std::u16string_view path);
// Appends a dictionary for `relativePath` (already relative to the module folder). False, with nothing
// written, when the list is full, the view invalid, or the path empty or longer than 255 characters
// (a cut path would name another file).
bool AddDictionary(SettingsView s, std::u16string_view relativePath);
// Removes the dictionary at `position`; tabs that used it move to the dictionary then at position 0.
// The last one may go too (tabs then keep their ids). False when there is no such dictionary.
bool RemoveDictionary(SettingsView s, size_t position);

struct ResolvedFont {
  std::u16string name;
  uint16_t size = kDefaultFontSize;
};
// The font to draw element e with: the default name for an empty one, at least kMinFontSize pixels.
// Elements without a font get the defaults.
ResolvedFont ResolveFont(ConstSettingsView s, AppearanceElement e);

// Copies the chosen sections from one record to another (private copy to block), nothing outside them,
// in the write-back order of the settings sheet: dictionaries first, then tabs (removing a dictionary
// changes tabs' dictionary ids). False when either view is invalid.
bool CopySections(ConstSettingsView from, SettingsView to, bool tabs, bool dictionaries);

// A first-run record: one dictionary "English" (id 0, "english.dict"), one tab "English" using it with
// the new-tab defaults, default fonts, every element visible, layout 0.
SettingsRecord MakeDefaultSettings();

}  // namespace quillet
