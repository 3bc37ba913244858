// Derives the forgiving matcher's mistake costs from misspelling pairs and writes them as C++ source.
//
//   mistake_costs [LIST] OUT.cpp
//
// LIST is a file of "wrong->right" lines, by default the common-misspellings list of Debian's
// codespell package. Each pair is aligned by the matcher's own edit operations (substitution,
// transposition of neighbours, deletion and insertion, each in the context the matcher uses), the
// operations are counted, and each one's probability in a misspelled word is estimated
// (mistake_model.cpp; kPrior = 20 pseudo-observations):
//
//   substitution x->y   P(x is replaced) * P(y | x replaced); the second Witten-Bell smoothed toward a
//                       backoff that weighs keyboard neighbours, sound-alike letters, both, and other
//                       letters by each class's measured rate per opportunity
//   deletion of x       after letter p: the rate in the bigram px, smoothed with kPrior pseudo-
//                       observations toward x's own rate, and that toward the rate of all deletions
//   insertion of y      after typed p: P(insertion after p) * P(y | insertion after p), the second
//                       Witten-Bell smoothed toward doubling p, p's keyboard neighbours and the rest
//   transposition xy    the rate in the bigram xy, smoothed toward the rate of all transpositions
//
// Alignment is iterated: the first pass counts with unit costs, each further pass aligns with the
// costs of the one before. Pairs more than kMaxEdits unit edits apart are left out as unrelated.
// Every tenth usable pair is held out for measuring (bench/forgiving_bench). Besides the costs the
// table holds the cheapest transposition and the ceiling: what all but 1% of the pairs within the
// matcher's two edits cost.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/mistake_costs/misspellings.h"
#include "tools/mistake_costs/mistake_model.h"

namespace quillet::tools {
namespace {

constexpr int kMaxEdits = 3;
constexpr int kForgivenEdits = 2;       // the matcher's limit
constexpr double kCeilingShare = 0.99;  // of the misspellings within it, those the search reaches
constexpr int kPasses = 3;

// Every mistake costs something; only the unused diagonal of the substitutions is 0.
uint16_t Stored(double cost) {
  return cost == 0 ? 0 : static_cast<uint16_t>(std::clamp(std::lround(cost), 1L, 65535L));
}

std::string Letter(int x) {
  if (x == kStart) return "^";
  if (x == kOther) return "?";
  return std::string(1, static_cast<char>('a' + x));
}

struct Top {
  double count;
  std::string text;
};

// The most frequent operations of one kind, as lines for the report.
std::vector<std::string> TopLines(std::vector<Top> all, size_t n) {
  std::sort(all.begin(), all.end(), [](const Top& a, const Top& b) { return a.count > b.count; });
  std::vector<std::string> lines;
  for (size_t i = 0; i < all.size() && i < n && all[i].count > 0; ++i) lines.push_back(all[i].text);
  return lines;
}

std::string Fixed(double v, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

void Table(std::ostringstream& out, const char* name, const double (*rows)[27], int rowCount) {
  out << "    // " << name << "\n    {\n";
  for (int r = 0; r < rowCount; ++r) {
    out << "        {";
    for (int x = 0; x < 27; ++x) out << (x ? ", " : "") << Stored(rows[r][x]);
    out << "},  // " << Letter(r) << "\n";
  }
  out << "    },\n";
}

int Main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: mistake_costs [LIST] OUT.cpp\n  LIST: \"wrong->right\" lines (default %s)\n",
                 kCodespellList);
    return 1;
  }
  const std::string list = argc == 3 ? argv[1] : kCodespellList;
  const std::string outPath = argv[argc - 1];
  MisspellingSet set;
  if (!ReadMisspellings(list, &set)) {
    std::fprintf(stderr, "mistake_costs: cannot read %s (Debian: apt-get install codespell)\n", list.c_str());
    return 1;
  }
  Costs unit;
  for (auto* t : {&unit.sub, &unit.trans}) {
    for (auto& row : *t) std::fill(std::begin(row), std::end(row), 1.0);
  }
  for (auto* t : {&unit.del, &unit.ins}) {
    for (auto& row : *t) std::fill(std::begin(row), std::end(row), 1.0);
  }
  std::vector<const Misspelling*> used;
  for (const Misspelling& m : set.training) {
    if (Align(m.right, m.wrong, unit, nullptr) <= kMaxEdits) used.push_back(&m);
  }
  Counts counts;
  Derived derived;
  Costs costs = unit;
  for (int pass = 0; pass < kPasses; ++pass) {
    counts = Counts();
    for (const Misspelling* m : used) {
      CountLetters(m->right, &counts);
      Align(m->right, m->wrong, costs, &counts);
    }
    derived = Derive(counts);
    costs = derived.costs;
  }

  // What the mistakes of real misspellings within the matcher's reach cost: the search stops at the
  // cost that all but a few of them stay under.
  std::vector<double> spent;
  for (const Misspelling* m : used) {
    double cost = 0;
    if (Align(m->right, m->wrong, costs, nullptr, &cost) <= kForgivenEdits) spent.push_back(cost);
  }
  std::sort(spent.begin(), spent.end());
  const auto percentile = [&](double p) { return spent[std::min(spent.size() - 1, size_t(p * spent.size()))]; };
  const double ceiling = percentile(kCeilingShare);

  std::vector<Top> subs, dels, inss, transs;
  for (int x = 0; x < kLetters; ++x) {
    for (int y = 0; y < kLetters; ++y) {
      subs.push_back({counts.sub[x][y], Letter(x) + "->" + Letter(y) + " " + Fixed(counts.sub[x][y], 0) + " (cost " +
                                            std::to_string(Stored(costs.sub[x][y])) + ")"});
      transs.push_back({counts.trans[x][y], Letter(x) + Letter(y) + "->" + Letter(y) + Letter(x) + " " +
                                                Fixed(counts.trans[x][y], 0) + " (cost " +
                                                std::to_string(Stored(costs.trans[x][y])) + ")"});
    }
  }
  for (int p = 0; p <= kStart; ++p) {
    if (p == kOther) continue;
    for (int x = 0; x < kLetters; ++x) {
      dels.push_back({counts.del[p][x], Letter(p) + Letter(x) + "->" + Letter(p) + " " + Fixed(counts.del[p][x], 0) +
                                            " (cost " + std::to_string(Stored(costs.del[p][x])) + ")"});
      inss.push_back({counts.ins[p][x], Letter(p) + "->" + Letter(p) + Letter(x) + " " + Fixed(counts.ins[p][x], 0) +
                                            " (cost " + std::to_string(Stored(costs.ins[p][x])) + ")"});
    }
  }

  std::ostringstream report;
  report << "Made from " << list << ": " << set.lines << " lines, " << set.skipped
         << " skipped (several corrections, other characters), " << set.heldOut.size() << " held out for measuring, "
         << used.size() << " pairs used (" << set.training.size() - used.size() << " more than " << kMaxEdits
         << " edits apart left out).\n";
  report << "Operations counted: " << Fixed(derived.totalSub, 0) << " substitutions, " << Fixed(derived.totalDel, 0)
         << " deletions, " << Fixed(derived.totalIns, 0) << " insertions, " << Fixed(derived.totalTrans, 0)
         << " transpositions, in " << Fixed(derived.letters, 0) << " letters meant.\n";
  report << "Substitution rate per letter and partner:";
  for (int s = 0; s < kSubClasses; ++s) {
    report << (s ? ", " : " ") << kSubClassNames[s] << " " << Fixed(derived.subRate[s] * 1e4, 2) << "e-4";
  }
  report << ".\nInsertions:";
  for (int s = 0; s < kInsClasses; ++s) {
    report << (s ? ", " : " ") << kInsClassNames[s] << " " << Fixed(derived.insShare[s] * 100, 1) << "%";
  }
  report << ".\nCost of the misspellings within " << kForgivenEdits << " edits (" << spent.size() << "): median "
         << Stored(percentile(0.5)) << ", 90% " << Stored(percentile(0.9)) << ", 98% " << Stored(percentile(0.98))
         << ", 99% " << Stored(percentile(0.99)) << ", most " << Stored(spent.back()) << "; the search stops at "
         << Stored(ceiling) << ".\n";
  const auto section = [&](const char* title, const std::vector<Top>& all) {
    report << title << ":";
    for (const std::string& line : TopLines(all, 12)) report << "\n  " << line;
    report << "\n";
  };
  section("Top substitutions (meant->typed)", subs);
  section("Top deletions (meant->typed)", dels);
  section("Top insertions (meant->typed)", inss);
  section("Top transpositions (meant->typed)", transs);
  std::fputs(report.str().c_str(), stdout);

  double minTrans = 1e18;
  for (const auto& row : costs.trans) {
    for (double v : row) minTrans = std::min(minTrans, v);
  }
  std::ostringstream out;
  out << "// Generated by tools/mistake_costs; do not edit. Made with\n"
      << "//   build/native/bin/mistake_costs lookup/mistake_cost_table.cpp\n"
      << "// from the common-misspellings list of Debian's codespell 2.2.2 package (GPL-2.0, as its copyright file\n"
      << "// gives it): only counts of edit operations derived from it are here, none of its words.\n//\n";
  std::istringstream lines(report.str());
  for (std::string line; std::getline(lines, line);) {
    // Wrapped at spaces to the source's line width; the continuation indented.
    std::string indent;
    while (line.size() + indent.size() > 116) {
      size_t cut = line.rfind(' ', 116 - indent.size());
      if (cut == std::string::npos || cut == 0) break;
      out << "// " << indent << line.substr(0, cut) << "\n";
      line = line.substr(cut + 1);
      indent = "  ";
    }
    out << "// " << indent << line << "\n";
  }
  out << "\n#include \"lookup/mistake_costs.h\"\n\nnamespace quillet {\n\n// clang-format off\n"
      << "const MistakeCostTable kMistakeCosts = {\n";
  Table(out, "substitution [meant][typed]", costs.sub, 27);
  Table(out, "transposition [first][second]", costs.trans, 27);
  Table(out, "deletion [meant before][left out]", costs.del, 28);
  Table(out, "insertion [typed before][not meant]", costs.ins, 28);
  out << "    " << Stored(minTrans) << ",\n    " << Stored(ceiling)
      << ",\n};\n// clang-format on\n\n}  // namespace quillet\n";
  std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
  file << out.str();
  if (!file.flush()) {
    std::fprintf(stderr, "mistake_costs: cannot write %s\n", outPath.c_str());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace quillet::tools

int main(int argc, char** argv) { return quillet::tools::Main(argc, argv); }
