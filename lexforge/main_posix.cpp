// The native generator: subcommands and the argument string, reporting on the standard streams.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "common/boundary.h"
#include "common/result.h"
#include "common/utf16.h"
#include "lexforge/lookup_command.h"

int main(int argc, char** argv) {
  constexpr int kThrown = -1;
  const int code = quillet::AtBoundary(kThrown, [&] {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) args.push_back(quillet::FromUtf8(argv[i]));
    return quillet::RunGeneratorCommand(args, std::cout, std::cerr);
  });
  if (code != kThrown) return code;
  std::fputs("lexforge: out of memory\n", stderr);
  return quillet::ToInt(quillet::Result::kOutOfMemory);
}
