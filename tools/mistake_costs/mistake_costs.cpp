// Derives the forgiving matcher's mistake costs from misspelling pairs and writes them as C++ source.
//
//   mistake_costs [LIST] OUT.cpp
//
// LIST is a file of "wrong->right" lines, by default the common-misspellings list of Debian's
// codespell package. Each pair is aligned by the matcher's own edit operations (substitution,
// transposition of neighbours, deletion and insertion, each in the context the matcher uses), the
// operations are counted, and each one's probability in a misspelled word is estimated:
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
// Every tenth usable pair is held out for measuring (bench/forgiving_bench).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/mistake_costs/misspellings.h"

namespace quillet::tools {
namespace {

constexpr int kLetters = 26;
constexpr int kOther = 26;  // rows and columns of the table: a-z, then any other character
constexpr int kStart = 27;  // the context before the first letter
constexpr int kMaxEdits = 3;
constexpr int kForgivenEdits = 2;       // the matcher's limit
constexpr double kCeilingShare = 0.98;  // of the misspellings within it, those the search reaches
constexpr int kPasses = 3;
constexpr double kPrior = 20.0;
constexpr double kCostScale = 2048.0;  // as the ranking data's costs

// Keyboard neighbours: keys whose centres lie within 1.3 key widths on a staggered QWERTY layout.
bool Neighbours(int a, int b) {
  static const char* const kRows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  static const double kOffset[] = {0.0, 0.25, 0.75};
  double ax = 0, ay = 0, bx = 0, by = 0;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; kRows[r][c] != 0; ++c) {
      if (kRows[r][c] - 'a' == a) ax = c + kOffset[r], ay = r;
      if (kRows[r][c] - 'a' == b) bx = c + kOffset[r], by = r;
    }
  }
  return a != b && std::hypot(ax - bx, ay - by) <= 1.3;
}

// Letters that stand for the same or a close sound in English spelling.
bool SoundAlike(int a, int b) {
  static const char* const kPairs[] = {"ae", "ai", "ao", "au", "ay", "ei", "eo", "eu", "ey", "io", "iu", "iy", "ou",
                                       "oy", "uy", "ck", "cq", "kq", "cs", "sz", "gj", "fv", "dt", "bp", "mn"};
  for (const char* p : kPairs) {
    if ((p[0] - 'a' == a && p[1] - 'a' == b) || (p[0] - 'a' == b && p[1] - 'a' == a)) return true;
  }
  return false;
}

enum SubClass { kNeighbour, kSound, kBoth, kFar, kSubClasses };
const char* const kSubClassNames[] = {"keyboard neighbours", "sound-alike", "both", "other"};

SubClass ClassOf(int x, int y) {
  const bool n = Neighbours(x, y), s = SoundAlike(x, y);
  return n && s ? kBoth : n ? kNeighbour : s ? kSound : kFar;
}

enum InsClass { kDoubling, kBeside, kElse, kInsClasses };
const char* const kInsClassNames[] = {"doubling", "keyboard neighbour of the letter before", "other"};

InsClass InsClassOf(int p, int y) {
  if (p == kStart) return kElse;
  return p == y ? kDoubling : Neighbours(p, y) ? kBeside : kElse;
}

struct Counts {
  double unigram[kLetters] = {};             // letters of the words meant
  double bigram[kStart + 1][kLetters] = {};  // [previous or start][letter]
  double words = 0;
  double sub[kLetters][kLetters] = {};
  double trans[kLetters][kLetters] = {};
  double del[kStart + 1][kLetters] = {};
  double ins[kStart + 1][kLetters] = {};
};

struct Costs {
  double sub[27][27], trans[27][27], del[28][27], ins[28][27];
};

int L(char c) { return c - 'a'; }

// Optimal string alignment of `meant` typed as `typed`, with the matcher's contexts; adds the
// operations of one cheapest alignment to `counts` (ties: deletion, insertion, transposition,
// match or substitution). Returns the number of edits, and in *cost what they cost.
int Align(const std::string& meant, const std::string& typed, const Costs& c, Counts* counts, double* cost = nullptr) {
  const size_t n = meant.size(), m = typed.size();
  std::vector<std::vector<double>> d(n + 1, std::vector<double>(m + 1, 0));
  auto delCost = [&](size_t i) { return c.del[i >= 2 ? L(meant[i - 2]) : kStart][L(meant[i - 1])]; };
  auto insCost = [&](size_t j) { return c.ins[j >= 2 ? L(typed[j - 2]) : kStart][L(typed[j - 1])]; };
  auto transposed = [&](size_t i, size_t j) {
    return i >= 2 && j >= 2 && meant[i - 1] == typed[j - 2] && meant[i - 2] == typed[j - 1] &&
           meant[i - 1] != meant[i - 2];
  };
  for (size_t i = 1; i <= n; ++i) d[i][0] = d[i - 1][0] + delCost(i);
  for (size_t j = 1; j <= m; ++j) d[0][j] = d[0][j - 1] + insCost(j);
  for (size_t i = 1; i <= n; ++i) {
    for (size_t j = 1; j <= m; ++j) {
      const bool same = meant[i - 1] == typed[j - 1];
      double best = d[i - 1][j - 1] + (same ? 0 : c.sub[L(meant[i - 1])][L(typed[j - 1])]);
      if (transposed(i, j)) best = std::min(best, d[i - 2][j - 2] + c.trans[L(meant[i - 2])][L(meant[i - 1])]);
      best = std::min(best, d[i - 1][j] + delCost(i));
      best = std::min(best, d[i][j - 1] + insCost(j));
      d[i][j] = best;
    }
  }
  if (cost) *cost = d[n][m];
  int edits = 0;
  size_t i = n, j = m;
  const auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(a)); };
  while (i > 0 || j > 0) {
    // A deletion or insertion first: of a doubled letter it is then the second copy, whose context
    // is the same letter, which is how undoubling and doubling show.
    if (i > 0 && near(d[i][j], d[i - 1][j] + delCost(i))) {
      ++edits;
      if (counts) counts->del[i >= 2 ? L(meant[i - 2]) : kStart][L(meant[i - 1])] += 1;
      --i;
      continue;
    }
    if (j > 0 && near(d[i][j], d[i][j - 1] + insCost(j))) {
      ++edits;
      if (counts) counts->ins[j >= 2 ? L(typed[j - 2]) : kStart][L(typed[j - 1])] += 1;
      --j;
      continue;
    }
    if (transposed(i, j) && near(d[i][j], d[i - 2][j - 2] + c.trans[L(meant[i - 2])][L(meant[i - 1])])) {
      ++edits;
      if (counts) counts->trans[L(meant[i - 2])][L(meant[i - 1])] += 1;
      i -= 2, j -= 2;
      continue;
    }
    if (meant[i - 1] != typed[j - 1]) {
      ++edits;
      if (counts) counts->sub[L(meant[i - 1])][L(typed[j - 1])] += 1;
    }
    --i, --j;
  }
  return edits;
}

void CountLetters(const std::string& meant, Counts* counts) {
  counts->words += 1;
  for (size_t i = 0; i < meant.size(); ++i) {
    counts->unigram[L(meant[i])] += 1;
    counts->bigram[i == 0 ? kStart : L(meant[i - 1])][L(meant[i])] += 1;
  }
}

double Cost(double p) { return -std::log10(p) * kCostScale; }

struct Derived {
  Costs costs;
  double subRate[kSubClasses] = {};  // per opportunity
  double insShare[kInsClasses] = {};
  double totalSub = 0, totalDel = 0, totalIns = 0, totalTrans = 0, letters = 0;
};

Derived Derive(const Counts& k) {
  Derived out;
  Costs& c = out.costs;
  double letters = 0, subs = 0, dels = 0, inss = 0, transs = 0, bigrams = 0;
  for (int x = 0; x < kLetters; ++x) letters += k.unigram[x];
  for (int x = 0; x < kLetters; ++x) {
    for (int y = 0; y < kLetters; ++y) {
      subs += k.sub[x][y];
      transs += k.trans[x][y];
      if (x != y) bigrams += k.bigram[x][y];
    }
  }
  for (int p = 0; p <= kStart; ++p) {
    for (int x = 0; x < kLetters; ++x) dels += k.del[p][x], inss += k.ins[p][x];
  }
  out.totalSub = subs, out.totalDel = dels, out.totalIns = inss, out.totalTrans = transs, out.letters = letters;

  // Substitution: each class's rate per (letter, partner) opportunity gives the backoff's weights.
  double classSubs[kSubClasses] = {}, classChances[kSubClasses] = {};
  for (int x = 0; x < kLetters; ++x) {
    for (int y = 0; y < kLetters; ++y) {
      if (x == y) continue;
      classSubs[ClassOf(x, y)] += k.sub[x][y];
      classChances[ClassOf(x, y)] += k.unigram[x];
    }
  }
  for (int s = 0; s < kSubClasses; ++s)
    out.subRate[s] = classChances[s] > 0 ? (classSubs[s] + 1) / (classChances[s] + 1) : 0;
  for (int x = 0; x < kLetters; ++x) {
    double sx = 0, distinct = 0, norm = 0;
    for (int y = 0; y < kLetters; ++y) {
      if (y == x) continue;
      sx += k.sub[x][y];
      distinct += k.sub[x][y] > 0 ? 1 : 0;
      norm += out.subRate[ClassOf(x, y)];
    }
    const double pSub = (sx + 1) / (k.unigram[x] + 2);
    for (int y = 0; y < kLetters; ++y) {
      if (y == x) {
        c.sub[x][y] = 0;
        continue;
      }
      const double backoff = out.subRate[ClassOf(x, y)] / norm;
      const double given = sx > 0 ? (k.sub[x][y] + distinct * backoff) / (sx + distinct) : backoff;
      c.sub[x][y] = Cost(pSub * given);
    }
  }
  const double anySub = (subs + 1) / (letters + 2) / kLetters;
  for (int x = 0; x < 27; ++x) c.sub[x][kOther] = c.sub[kOther][x] = Cost(anySub);
  c.sub[kOther][kOther] = Cost(anySub);

  // Deletion: bigram rate toward the letter's rate toward all deletions.
  const double qDel = (dels + 1) / (letters + 2);
  double qLetter[kLetters];
  for (int x = 0; x < kLetters; ++x) {
    double dx = 0;
    for (int p = 0; p <= kStart; ++p) dx += k.del[p][x];
    qLetter[x] = (dx + kPrior * qDel) / (k.unigram[x] + kPrior);
  }
  for (int p = 0; p < 28; ++p) {
    for (int x = 0; x < 27; ++x) {
      if (x == kOther) {
        c.del[p][x] = Cost(qDel);
      } else if (p == kOther) {
        c.del[p][x] = Cost(qLetter[x]);
      } else {
        c.del[p][x] = Cost((k.del[p][x] + kPrior * qLetter[x]) / (k.bigram[p][x] + kPrior));
      }
    }
  }

  // Insertion: the rate after each letter (or at the start), then which letter, smoothed toward
  // doubling, keyboard neighbours and the rest.
  const double qIns = (inss + 1) / (letters + k.words + 2);
  double classIns[kInsClasses] = {}, classInsChances[kInsClasses] = {};
  for (int p = 0; p <= kStart; ++p) {
    if (p == kOther) continue;
    for (int y = 0; y < kLetters; ++y) {
      classIns[InsClassOf(p, y)] += k.ins[p][y];
      classInsChances[InsClassOf(p, y)] += 1;
    }
  }
  double insWeight[kInsClasses];
  for (int s = 0; s < kInsClasses; ++s) {
    insWeight[s] = (classIns[s] + 1) / (classInsChances[s] + 1);
    out.insShare[s] = inss > 0 ? classIns[s] / inss : 0;
  }
  for (int p = 0; p < 28; ++p) {
    if (p == kOther) {
      for (int y = 0; y < 27; ++y) c.ins[p][y] = Cost(qIns / kLetters);
      continue;
    }
    const double before = p == kStart ? k.words : k.unigram[p];
    double ip = 0, distinct = 0, norm = 0;
    for (int y = 0; y < kLetters; ++y) {
      ip += k.ins[p][y];
      distinct += k.ins[p][y] > 0 ? 1 : 0;
      norm += insWeight[InsClassOf(p, y)];
    }
    const double pIns = (ip + kPrior * qIns) / (before + kPrior);
    for (int y = 0; y < kLetters; ++y) {
      const double backoff = insWeight[InsClassOf(p, y)] / norm;
      const double given = ip > 0 ? (k.ins[p][y] + distinct * backoff) / (ip + distinct) : backoff;
      c.ins[p][y] = Cost(pIns * given);
    }
    c.ins[p][kOther] = Cost(pIns / kLetters);
  }

  // Transposition: the bigram's rate toward the rate of all transpositions.
  const double qTrans = (transs + 1) / (bigrams + 2);
  for (int x = 0; x < 27; ++x) {
    for (int y = 0; y < 27; ++y) {
      if (x == kOther || y == kOther) {
        c.trans[x][y] = Cost(qTrans);
      } else {
        c.trans[x][y] = Cost((k.trans[x][y] + kPrior * qTrans) / (k.bigram[x][y] + kPrior));
      }
    }
  }
  return out;
}

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
