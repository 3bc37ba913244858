#include "tools/tsfhost/timing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillet::tsfhost {

Timing& Timing::Get() {
  static Timing timing;
  return timing;
}

void Timing::Charge(Clock::time_point now) {
  const Zone current = stack_.empty() ? Zone::kHost : stack_.back();
  if (inKey_) zones_[static_cast<size_t>(current)] += std::chrono::duration<double, std::micro>(now - since_).count();
  since_ = now;
}

void Timing::Enter(Zone zone) {
  Charge(Clock::now());
  stack_.push_back(zone);
}

void Timing::Leave() {
  const Clock::time_point now = Clock::now();
  Charge(now);
  if (stack_.empty()) return;
  // The key is done when the last of its framework, text service or paint work is.
  if (stack_.back() != Zone::kHost) lastLeave_ = now;
  stack_.pop_back();
}

void Timing::StartKey() {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  Charge(now);
  zones_ = {};
  keyStart_ = lastLeave_ = now;
  inKey_ = true;
}

void Timing::EndKey(double lookupMicroseconds, bool windowMade, const std::string& label) {
  if (!enabled_ || !inKey_) return;
  Charge(Clock::now());
  inKey_ = false;
  const auto zone = [&](Zone z) { return zones_[static_cast<size_t>(z)]; };
  if (zone(Zone::kService) + zone(Zone::kPaint) + zone(Zone::kWindowSystem) == 0) return;
  const double total = std::chrono::duration<double, std::micro>(lastLeave_ - keyStart_).count();
  keys_.push_back({total, zone(Zone::kService), zone(Zone::kFramework), zone(Zone::kWindowSystem), zone(Zone::kPaint),
                   lookupMicroseconds, windowMade ? 1.0 : 0.0});
  labels_.push_back(label);
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<size_t>(std::ceil(p / 100 * static_cast<double>(values.size())));
  return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
}

std::string Timing::Report() const {
  static const char* const kColumns[] = {"key to painted window", "text service (own code)", "framework calls",
                                         "window system calls",   "candidate window paint",  "of which lookup"};
  constexpr size_t kMade = 6;
  std::string out;
  const struct {
    const char* name;
    int which;  // -1 all keys, else the window-made flag
  } kGroups[] = {{"all", -1}, {"typing", 0}, {"window made", 1}};
  for (const auto& group : kGroups) {
    size_t count = 0;
    for (const auto& key : keys_) count += group.which < 0 || key[kMade] == group.which;
    out += "timing " + std::string(group.name) + " keys " + std::to_string(count) + " (microseconds: median, p99)\n";
    for (size_t c = 0; c < kMade; ++c) {
      std::vector<double> column;
      for (const auto& key : keys_) {
        // Keys without a lookup have none.
        if ((group.which < 0 || key[kMade] == group.which) && key[c] >= 0) column.push_back(key[c]);
      }
      char line[128];
      std::snprintf(line, sizeof line, "timing   %-26s %9.1f %9.1f\n", kColumns[c], Percentile(column, 50),
                    Percentile(column, 99));
      out += line;
    }
  }
  // The slowest keys typed into a composition, by the text service's own time: where a p99 comes from.
  std::vector<size_t> typed;
  for (size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i][kMade] == 0) typed.push_back(i);
  }
  const size_t shown = std::min<size_t>(typed.size(), 1 + typed.size() / 100);
  std::partial_sort(typed.begin(), typed.begin() + static_cast<std::ptrdiff_t>(shown), typed.end(),
                    [&](size_t a, size_t b) { return keys_[a][1] > keys_[b][1]; });
  out +=
      "timing slowest typing keys (number, key and composition: own code, framework, window system, paint, "
      "lookup)\n";
  for (size_t k = 0; k < shown; ++k) {
    const auto& key = keys_[typed[k]];
    char line[192];
    std::snprintf(line, sizeof line, "timing   %5zu %-12s %9.1f %9.1f %9.1f %9.1f %9.1f\n", typed[k],
                  labels_[typed[k]].c_str(), key[1], key[2], key[3], key[4], key[5]);
    out += line;
  }
  return out;
}

}  // namespace quillet::tsfhost
