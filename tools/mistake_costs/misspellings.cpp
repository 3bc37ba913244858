#include "tools/mistake_costs/misspellings.h"

#include <fstream>

namespace quillet::tools {
namespace {

// The word as a key: lowercase, apostrophes and hyphens dropped; false when anything but a-z is left.
bool AsKey(const std::string& word, std::string* out) {
  out->clear();
  for (char c : word) {
    if (c == '\'' || c == '-') continue;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c < 'a' || c > 'z') return false;
    out->push_back(c);
  }
  return !out->empty();
}

}  // namespace

bool ReadMisspellings(const std::string& path, MisspellingSet* out) {
  std::ifstream in(path);
  if (!in) return false;
  *out = MisspellingSet();
  std::string line;
  size_t usable = 0;
  while (std::getline(in, line)) {
    ++out->lines;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t arrow = line.find("->");
    Misspelling m;
    if (arrow == std::string::npos || line.find(',') != std::string::npos || !AsKey(line.substr(0, arrow), &m.wrong) ||
        !AsKey(line.substr(arrow + 2), &m.right) || m.wrong == m.right) {
      ++out->skipped;
      continue;
    }
    (usable++ % 10 == 9 ? out->heldOut : out->training).push_back(std::move(m));
  }
  return true;
}

}  // namespace quillet::tools
