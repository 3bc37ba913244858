#include "quillsvc/settings/module_paths.h"

#include <vector>

#include "common/utf16.h"

namespace quillet::settings {
namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Letters of the scripts a file name is most likely written in; others compare as they are.
char16_t FoldCase(char16_t c) {
  if (c < 0x80) return FoldLower(c);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return static_cast<char16_t>(c | 1);
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return static_cast<char16_t>(c + (c & 1));
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  return c;
}

struct ParsedPath {
  std::u16string root;  // "C:", "\\server\share", or empty
  bool rooted = false;  // a separator follows the root (or the path starts with one)
  std::vector<std::u16string> segments;

  bool absolute() const { return rooted && !root.empty(); }
};

std::vector<std::u16string> Split(std::u16string_view text) {
  std::vector<std::u16string> parts;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && !IsSeparator(text[i])) ++i;
    if (i > start) parts.emplace_back(text.substr(start, i - start));
  }
  return parts;
}

ParsedPath Parse(std::u16string_view path) {
  ParsedPath p;
  std::u16string_view rest = path;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // A share: the server and share names form the root.
    p.root = u"\\\\";
    size_t i = 2;
    for (int part = 0; part < 2; ++part) {
      while (i < path.size() && IsSeparator(path[i])) ++i;
      const size_t start = i;
      while (i < path.size() && !IsSeparator(path[i])) ++i;
      if (i == start) break;
      if (part == 1) p.root += u'\\';
      p.root += path.substr(start, i - start);
    }
    rest = path.substr(i);
    p.rooted = true;
  } else {
    if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':') {
      p.root = std::u16string(path.substr(0, 2));
      rest = path.substr(2);
    }
    p.rooted = !rest.empty() && IsSeparator(rest[0]);
  }
  for (std::u16string& s : Split(rest)) {
    if (s == u".") continue;
    if (s == u"..") {
      if (!p.segments.empty() && p.segments.back() != u"..") {
        p.segments.pop_back();
        continue;
      }
      if (p.rooted) continue;  // nothing lies above a root
    }
    p.segments.push_back(std::move(s));
  }
  return p;
}

std::u16string Format(const ParsedPath& p) {
  std::u16string out = p.root;
  if (p.rooted) out += u'\\';
  for (size_t i = 0; i < p.segments.size(); ++i) {
    if (i > 0) out += u'\\';
    out += p.segments[i];
  }
  // A share's root keeps no trailing separator when nothing follows it.
  if (p.segments.empty() && p.root.size() > 2 && p.root[0] == u'\\') out.pop_back();
  return out;
}

}  // namespace

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::u16string CanonicalizePath(std::u16string_view path) { return Format(Parse(path)); }

std::u16string FolderOf(std::u16string_view filePath) {
  ParsedPath p = Parse(filePath);
  if (!p.segments.empty()) p.segments.pop_back();
  return Format(p);
}

bool SamePath(std::u16string_view a, std::u16string_view b) {
  return EqualIgnoringCase(CanonicalizePath(a), CanonicalizePath(b));
}

std::u16string AbsoluteFromModule(std::u16string_view moduleFile, std::u16string_view stored) {
  if (moduleFile.empty() || stored.empty()) return u"";
  const ParsedPath module = Parse(moduleFile);
  ParsedPath target = Parse(stored);
  if (!target.absolute()) {
    ParsedPath joined = module;
    if (!joined.segments.empty()) joined.segments.pop_back();  // the module's folder
    // A path starting with a separator starts at the module's root.
    if (target.rooted) joined.segments.clear();
    for (std::u16string& s : target.segments) {
      if (s == u"..") {
        if (!joined.segments.empty()) joined.segments.pop_back();
      } else {
        joined.segments.push_back(std::move(s));
      }
    }
    target = std::move(joined);
  }
  std::u16string full = Format(target);
  if (full.size() > kMaxFullPath) return u"";
  return full;
}

RelativePath RelativeToModule(std::u16string_view moduleFile, std::u16string_view target) {
  RelativePath out;
  ParsedPath folder = Parse(moduleFile);
  const ParsedPath file = Parse(target);
  if (!folder.absolute() || !file.absolute() || folder.segments.empty() || file.segments.empty()) return out;
  folder.segments.pop_back();
  if (!EqualIgnoringCase(folder.root, file.root)) {
    out.status = RelativeStatus::kOtherRoot;
    return out;
  }
  size_t common = 0;
  while (common < folder.segments.size() && common + 1 < file.segments.size() &&
         EqualIgnoringCase(folder.segments[common], file.segments[common])) {
    ++common;
  }
  std::u16string relative;
  if (common == folder.segments.size()) {
    relative = u".\\";
  } else {
    for (size_t i = common; i < folder.segments.size(); ++i) relative += u"..\\";
  }
  for (size_t i = common; i < file.segments.size(); ++i) {
    if (i > common) relative += u'\\';
    relative += file.segments[i];
  }
  if (relative.size() > kMaxStoredPath || AbsoluteFromModule(moduleFile, relative).empty()) {
    out.status = RelativeStatus::kTooLong;
    return out;
  }
  out.status = RelativeStatus::kOk;
  out.path = std::move(relative);
  return out;
}

}  // namespace quillet::settings
