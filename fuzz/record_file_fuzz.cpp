// Any file where the loader keeps its settings, its options or its program rules, loaded as the
// loader loads it (its kept file, with the record's size and check): the record comes back byte for
// byte exactly when it has the size and passes the check; any other file is moved aside whole, never
// lost, and the defaults saved in its place load again. A loaded options record or list of rules
// reads inside its bytes. First input byte modulo 3: settings, options, program rules; the rest is
// the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/options_record.h"
#include "common/program_rules.h"
#include "fuzz/fuzz_scratch.h"
#include "lexwarden/record_keeper.h"
#include "platform/kept_file.h"

using namespace quillet;
using namespace quillet::warden;

namespace {

fuzz::Scratch& scratch() {
  static fuzz::Scratch s;
  return s;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Same(const std::string& file, const uint8_t* data, size_t size) {
  return file.size() == size && (size == 0 || std::equal(data, data + size, file.begin(), [](uint8_t a, char b) {
                                   return a == static_cast<uint8_t>(b);
                                 }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const KeptRecord& kind = data[0] % 3 == 1 ? kKeptOptions : data[0] % 3 == 2 ? kKeptPrograms : kKeptSettings;
  const uint8_t* file = data + 1;
  const size_t fileSize = size - 1;
  auto& s = scratch();
  if (!s.Write("record.dat", file, fileSize)) return 0;

  platform::KeptFile records = KeptRecordFile(kind, s.U16("record.dat"));
  platform::KeptContent loaded = records.Load();
  const bool whole = fileSize == kind.size && (kind.check == nullptr || kind.check(file, fileSize));
  if (whole) {
    Check(loaded.origin == platform::KeptOrigin::kFile && loaded.asidePath.empty());
    Check(loaded.bytes.size() == kind.size && std::equal(loaded.bytes.begin(), loaded.bytes.end(), file));
    Check(Same(s.Read("record.dat"), file, fileSize));
    if (&kind == &kKeptOptions) {
      for (int16_t id = -1; id < 12; ++id) {
        Check(static_cast<uint8_t>(ReadTabOptions(loaded.bytes.data(), loaded.bytes.size(), id).order) <= 2);
      }
      Check(static_cast<uint8_t>(ReadToggleKey(loaded.bytes.data(), loaded.bytes.size())) <= 2);
      (void)LearningPaused(loaded.bytes.data(), loaded.bytes.size());
    }
    if (&kind == &kKeptPrograms) {
      // Every listed program is a file name, and finds the first rule given to it.
      for (const ProgramRuleEntry& entry : ReadProgramRules(loaded.bytes.data(), loaded.bytes.size())) {
        Check(ValidProgramName(entry.program));
        (void)RuleForProgram(loaded.bytes.data(), loaded.bytes.size(), entry.program);
      }
    }
    return 0;
  }

  Check(loaded.origin == platform::KeptOrigin::kDamaged && loaded.bytes.empty() && !loaded.asidePath.empty());
  const std::string aside = ToUtf8(loaded.asidePath);
  Check(access(s.Path("record.dat").c_str(), F_OK) != 0);
  Check(Same(s.Read(aside.substr(aside.rfind('/') + 1)), file, fileSize));
  std::remove(aside.c_str());

  // The loader then starts from the defaults; saved, they are the record.
  const std::vector<uint8_t> defaults = kind.defaults();
  platform::OsError error = 0;
  Check(records.Save(defaults.data(), defaults.size(), &error) == Result::kSuccess);
  loaded = records.Load();
  Check(loaded.origin == platform::KeptOrigin::kFile && loaded.bytes == defaults);
  return 0;
}
