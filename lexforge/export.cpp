#include "lexforge/export.h"

#include <cstring>
#include <vector>

#include "common/dictionary_view.h"
#include "common/le.h"
#include "lexforge/mapping_result.h"
#include "platform/file.h"

namespace quillet::lexforge {

namespace {

constexpr size_t kBufferUnits = 10240;
constexpr char16_t kByteOrderMark = 0xFEFF;

// The one fixed output buffer. Lines are kept whole within one write where they fit; a longer line
// goes out in buffer-sized pieces.
class TextWriter {
 public:
  explicit TextWriter(platform::File& file) : file_(file), bytes_(2 * kBufferUnits) {}

  bool failed() const { return failed_; }
  platform::OsError error() const { return error_; }

  // One line: key TAB display TAB commit TAB description CR LF. Where it fits the free space (after
  // writing the buffer out when needed) it is assembled in place; a longer line is streamed.
  void Line(const TextRef& key, const InfoRef& info) {
    const size_t units = size_t{key.length} + info.display.length + info.commit.length + info.description.length + 5;
    if (used_ + 2 * units > bytes_.size()) Flush();
    if (used_ + 2 * units <= bytes_.size()) {
      uint8_t* p = bytes_.data() + used_;
      p = Put(p, key);
      p = Put(StoreTab(p), info.display);
      p = Put(StoreTab(p), info.commit);
      p = Put(StoreTab(p), info.description);
      StoreU16(p, u'\r');
      StoreU16(p + 2, u'\n');
      used_ += 2 * units;
      return;
    }
    Text(key);
    Unit(u'\t');
    Text(info.display);
    Unit(u'\t');
    Text(info.commit);
    Unit(u'\t');
    Text(info.description);
    Unit(u'\r');
    Unit(u'\n');
  }
  void Unit(char16_t c) {
    uint8_t bytes[2];
    StoreU16(bytes, c);
    Bytes(bytes, 2);
  }
  // Counted-string units are little-endian already: they are copied as bytes.
  void Text(const TextRef& text) { Bytes(text.units, 2 * size_t{text.length}); }

  void Flush() {
    if (failed_ || used_ == 0) {
      used_ = 0;
      return;
    }
    size_t done = 0;
    if (!file_.Write(bytes_.data(), used_, &done, &error_) || done != used_) failed_ = true;
    used_ = 0;
  }

 private:
  void Bytes(const uint8_t* p, size_t size) {
    while (size > 0 && !failed_) {
      if (used_ == bytes_.size()) Flush();
      const size_t piece = size < bytes_.size() - used_ ? size : bytes_.size() - used_;
      std::memcpy(bytes_.data() + used_, p, piece);
      used_ += piece;
      p += piece;
      size -= piece;
    }
  }

  static uint8_t* Put(uint8_t* p, const TextRef& text) {
    if (text.length != 0) std::memcpy(p, text.units, 2 * size_t{text.length});
    return p + 2 * size_t{text.length};
  }
  static uint8_t* StoreTab(uint8_t* p) {
    StoreU16(p, u'\t');
    return p + 2;
  }

  platform::File& file_;
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
  bool failed_ = false;
  platform::OsError error_ = 0;
};

}  // namespace

Result ConvertDictionaryToText(const std::u16string& destination, const std::u16string& source,
                               platform::OsError* osError, std::u16string* failedPath) {
  platform::OsError ignored = 0;
  platform::OsError& error = osError != nullptr ? *osError : ignored;
  error = 0;
  std::u16string ignoredPath;
  std::u16string& failed = failedPath != nullptr ? *failedPath : ignoredPath;
  failed = source;

  platform::File dictionary;
  if (!dictionary.OpenRead(source, &error)) return Result::kFileOpenFailed;
  platform::FileMapping mapping;
  if (const Result mapped = MapForReading(dictionary, &mapping, &error); mapped != Result::kSuccess) return mapped;
  DictionaryView view;
  if (!DictionaryView::FromFile(mapping.data(), mapping.size(), &view)) return Result::kMalformed;

  failed = destination;
  platform::File text;
  if (!text.Create(destination, &error)) return Result::kFileOpenFailed;

  bool malformed = false;
  TextWriter out(text);
  out.Unit(kByteOrderMark);
  const TextRef none;
  for (uint32_t i = 0; i < view.entryCount() && !out.failed(); ++i) {
    TextRef key;
    InfoRef info{none, none, none};
    if (!view.Key(i, &key) || (view.hasInfo() && view.Position(i).infoOffset != kNone && !view.Info(i, &info))) {
      malformed = true;
      break;
    }
    out.Line(key, info);
  }
  if (!malformed) out.Flush();
  const bool closed = text.Close(&error);
  if (malformed) {
    // A partial text from a damaged dictionary must not pass for an export.
    platform::RemoveFile(destination);
    failed = source;
    return Result::kMalformed;
  }
  if (out.failed()) {
    error = out.error();
    return Result::kFileWriteFailed;
  }
  if (closed) failed.clear();
  return closed ? Result::kSuccess : Result::kFileWriteFailed;
}

}  // namespace quillet::lexforge
