#include "tools/tsfhost/report.h"

#include "common/utf16.h"

namespace quillet::tsfhost {

std::string EscapeText(std::u16string_view text) {
  std::u16string escaped;
  escaped.reserve(text.size());
  for (char16_t c : text) {
    if (c == u'\n') {
      escaped += u"\\n";
    } else if (c == u'\r') {
      escaped += u"\\r";
    } else if (c == u'\\') {
      escaped += u"\\\\";
    } else {
      escaped += c;
    }
  }
  return ToUtf8(escaped);
}

std::string FormatSnapshot(const Snapshot& snapshot) {
  std::string out = "document " + EscapeText(snapshot.document) + "\n";
  out += "caret " + std::to_string(snapshot.caret) + "\n";
  if (snapshot.composition) {
    out += "composition " + std::to_string(snapshot.composition->first) + " " +
           std::to_string(snapshot.composition->second) + "\n";
  } else {
    out += "composition none\n";
  }
  static const char* const kStates[] = {"none", "hidden", "visible"};
  out += std::string("candidates ") + kStates[static_cast<int>(snapshot.candidates)] + "\n";
  for (size_t i = 0; i < snapshot.rows.size(); ++i) {
    out += "row " + std::to_string(i) + " " + EscapeText(snapshot.rows[i]) + "\n";
  }
  return out;
}

}  // namespace quillet::tsfhost
