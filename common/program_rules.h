// The per-program rules: programs where the input method keeps out of the way (a terminal, a game, a
// program that completes words itself). Each rule names a program by its executable's file name
// ("WindowsTerminal.exe"), compared without regard to case. Kept by the loader in programs.dat,
// edited by the settings sheet, read by the text service once per activation.
//
// A fixed-size record. Layout (little-endian): magic "QLPR", u16 version, u16 entry count, 8 reserved
// bytes, then kProgramRulesCapacity entries of 128 bytes: u8 rule, u8 name length (1 to
// kProgramNameMax), the name in UTF-16 code units, zero after it. A record not of this shape (wrong
// size, magic or version, a count beyond capacity, a name that is not a file name) is refused whole;
// an entry whose rule this build does not know reads as no rule, so later builds may add rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

constexpr size_t kProgramRulesHeaderSize = 16;
constexpr size_t kProgramRuleEntrySize = 128;
constexpr size_t kProgramRulesCapacity = 64;
constexpr size_t kProgramNameMax = (kProgramRuleEntrySize - 2) / 2;
constexpr size_t kProgramRulesSize = kProgramRulesHeaderSize + kProgramRulesCapacity * kProgramRuleEntrySize;
constexpr uint16_t kProgramRulesVersion = 1;
static_assert(kProgramNameMax == 63 && kProgramRulesSize == 8208, "the layout above");

enum class ProgramRule : uint8_t {
  kNone = 0,         // the input method behaves as everywhere else
  kStartClosed = 1,  // it starts closed there; the person can still open it
  kNever = 2,        // it offers nothing there, eats no key and learns nothing
};

struct ProgramRuleEntry {
  std::u16string program;
  ProgramRule rule = ProgramRule::kNone;

  bool operator==(const ProgramRuleEntry& o) const { return program == o.program && rule == o.rule; }
};

// The programs that start closed until the person says otherwise: the common terminals.
extern const std::u16string_view kDefaultStartClosedPrograms[];
extern const size_t kDefaultStartClosedProgramCount;

// Whether `name` can name a program: 1 to kProgramNameMax characters, none of them a control
// character or one that cannot be in a file name (\ / : * ? " < > |), and not only dots and blanks.
bool ValidProgramName(std::u16string_view name);
// The same program: equal names without regard to case.
bool SameProgram(std::u16string_view a, std::u16string_view b);
// The file name at the end of a path (after its last \ or /).
std::u16string_view ProgramFileName(std::u16string_view path);

// The record of `entries`; false (and *record untouched) when there are more than the capacity, a
// name is not valid, or a program is named twice.
bool EncodeProgramRules(const std::vector<ProgramRuleEntry>& entries, std::vector<uint8_t>* record);
// What a first run starts from: kDefaultStartClosedPrograms, each starting closed.
std::vector<uint8_t> DefaultProgramRules();
bool ValidProgramRules(const uint8_t* record, size_t size);
// The entries in their order; empty for a record not of this shape.
std::vector<ProgramRuleEntry> ReadProgramRules(const uint8_t* record, size_t size);
// The rule for `program` (a file name); kNone without an entry or for a record not of this shape.
ProgramRule RuleForProgram(const uint8_t* record, size_t size, std::u16string_view program);

}  // namespace quillet
