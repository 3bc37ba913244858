#include "tools/mistake_costs/mistake_model.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quillet::tools {

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

namespace {

constexpr double kPrior = 20.0;

int L(char c) { return c - 'a'; }

double Cost(double p) { return -std::log10(p) * kCostScale; }

SubClass ClassOf(int x, int y) {
  const bool n = Neighbours(x, y), s = SoundAlike(x, y);
  return n && s ? kBoth : n ? kNeighbour : s ? kSound : kFar;
}

InsClass InsClassOf(int p, int y) {
  if (p == kStart) return kElse;
  return p == y ? kDoubling : Neighbours(p, y) ? kBeside : kElse;
}

}  // namespace

int Align(const std::string& meant, const std::string& typed, const Costs& c, Counts* counts, double* cost) {
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

}  // namespace quillet::tools
