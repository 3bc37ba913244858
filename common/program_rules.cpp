#include "common/program_rules.h"

#include <cstring>
#include <iterator>

#include "common/le.h"
#include "common/utf16.h"

namespace quillet {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'L', 'P', 'R'};
constexpr size_t kCountOffset = 6;

const uint8_t* Entry(const uint8_t* record, size_t i) {
  return record + kProgramRulesHeaderSize + i * kProgramRuleEntrySize;
}

std::u16string NameOf(const uint8_t* entry) {
  const size_t length = entry[1];
  std::u16string name(length, u'\0');
  for (size_t i = 0; i < length; ++i) name[i] = static_cast<char16_t>(LoadU16(entry + 2 + 2 * i));
  return name;
}

ProgramRule RuleOf(const uint8_t* entry) {
  // A rule of a later build is no rule here.
  return entry[0] <= static_cast<uint8_t>(ProgramRule::kNever) ? static_cast<ProgramRule>(entry[0])
                                                               : ProgramRule::kNone;
}

}  // namespace

const std::u16string_view kDefaultStartClosedPrograms[] = {
    u"conhost.exe", u"WindowsTerminal.exe", u"OpenConsole.exe", u"cmd.exe",         u"powershell.exe", u"pwsh.exe",
    u"mintty.exe",  u"putty.exe",           u"alacritty.exe",   u"wezterm-gui.exe", u"ConEmu.exe",     u"ConEmu64.exe"};
const size_t kDefaultStartClosedProgramCount = std::size(kDefaultStartClosedPrograms);

bool ValidProgramName(std::u16string_view name) {
  if (name.empty() || name.size() > kProgramNameMax) return false;
  bool onlyDotsAndBlanks = true;
  for (char16_t c : name) {
    if (c < 0x20 || c == 0x7F || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) {
      return false;
    }
    if (c != u'.' && c != u' ') onlyDotsAndBlanks = false;
  }
  return !onlyDotsAndBlanks;
}

bool SameProgram(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (SimpleLower(a[i]) != SimpleLower(b[i])) return false;
  }
  return true;
}

std::u16string_view ProgramFileName(std::u16string_view path) {
  const size_t slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

bool EncodeProgramRules(const std::vector<ProgramRuleEntry>& entries, std::vector<uint8_t>* record) {
  if (entries.size() > kProgramRulesCapacity) return false;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (!ValidProgramName(entries[i].program)) return false;
    for (size_t j = 0; j < i; ++j) {
      if (SameProgram(entries[i].program, entries[j].program)) return false;
    }
  }
  std::vector<uint8_t> out(kProgramRulesSize, 0);
  std::memcpy(out.data(), kMagic, sizeof(kMagic));
  StoreU16(out.data() + 4, kProgramRulesVersion);
  StoreU16(out.data() + kCountOffset, static_cast<uint16_t>(entries.size()));
  for (size_t i = 0; i < entries.size(); ++i) {
    uint8_t* entry = out.data() + kProgramRulesHeaderSize + i * kProgramRuleEntrySize;
    entry[0] = static_cast<uint8_t>(entries[i].rule);
    entry[1] = static_cast<uint8_t>(entries[i].program.size());
    for (size_t c = 0; c < entries[i].program.size(); ++c) StoreU16(entry + 2 + 2 * c, entries[i].program[c]);
  }
  *record = std::move(out);
  return true;
}

std::vector<uint8_t> DefaultProgramRules() {
  std::vector<ProgramRuleEntry> entries;
  for (std::u16string_view program : kDefaultStartClosedPrograms) {
    entries.push_back({std::u16string(program), ProgramRule::kStartClosed});
  }
  std::vector<uint8_t> record;
  EncodeProgramRules(entries, &record);
  return record;
}

bool ValidProgramRules(const uint8_t* record, size_t size) {
  if (record == nullptr || size != kProgramRulesSize || std::memcmp(record, kMagic, sizeof(kMagic)) != 0 ||
      LoadU16(record + 4) != kProgramRulesVersion || LoadU16(record + kCountOffset) > kProgramRulesCapacity) {
    return false;
  }
  const size_t count = LoadU16(record + kCountOffset);
  for (size_t i = 0; i < count; ++i) {
    if (Entry(record, i)[1] > kProgramNameMax || !ValidProgramName(NameOf(Entry(record, i)))) return false;
  }
  return true;
}

std::vector<ProgramRuleEntry> ReadProgramRules(const uint8_t* record, size_t size) {
  std::vector<ProgramRuleEntry> entries;
  if (!ValidProgramRules(record, size)) return entries;
  const size_t count = LoadU16(record + kCountOffset);
  for (size_t i = 0; i < count; ++i) entries.push_back({NameOf(Entry(record, i)), RuleOf(Entry(record, i))});
  return entries;
}

ProgramRule RuleForProgram(const uint8_t* record, size_t size, std::u16string_view program) {
  if (program.empty() || !ValidProgramRules(record, size)) return ProgramRule::kNone;
  const size_t count = LoadU16(record + kCountOffset);
  for (size_t i = 0; i < count; ++i) {
    if (SameProgram(NameOf(Entry(record, i)), program)) return RuleOf(Entry(record, i));
  }
  return ProgramRule::kNone;
}

}  // namespace quillet
