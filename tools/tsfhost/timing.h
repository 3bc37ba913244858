// Where the time of each key goes, for tsfhost --timing: the framework's methods (ours), the text
// service's code, the window system's calls it makes to make, show, move and destroy windows, and the
// candidate window's paint. Zones nest (the framework calls the text service,
// which calls the framework back); time counts for the innermost zone only. Off unless enabled, and
// then a clock read per zone change.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillet::tsfhost {

enum class Zone : uint8_t { kHost, kFramework, kService, kPaint, kWindowSystem };
inline constexpr size_t kZoneCount = 5;

class Timing {
 public:
  using Clock = std::chrono::steady_clock;

  static Timing& Get();

  void Enable() { enabled_ = true; }
  bool enabled() const { return enabled_; }

  void Enter(Zone zone);
  void Leave();

  // A key starts (its message was taken from the queue) and ends (everything it caused is done: the
  // time of the last zone left since then is its end). EndKey adds it to the figures when anything
  // but the host ran for it; `lookupMicroseconds` is the time of its lookup, negative for none, and
  // `windowMade` says that it made the candidate window, and `label` names the key in the report.
  void StartKey();
  void EndKey(double lookupMicroseconds, bool windowMade, const std::string& label = std::string());

  // Median and 99th percentile of every column over the keys measured, one line each: for all keys,
  // for those typed into a composition that had its window, and for those that made the window; then
  // the slowest hundredth of the typing keys by the text service's own time, each with its label.
  std::string Report() const;

  // The exclusive microseconds of each zone since StartKey (for tests).
  std::array<double, kZoneCount> KeyZones() const { return zones_; }

 private:
  void Charge(Clock::time_point now);

  bool enabled_ = false;
  std::vector<Zone> stack_;
  Clock::time_point since_;
  Clock::time_point keyStart_;
  Clock::time_point lastLeave_;
  std::array<double, kZoneCount> zones_ = {};
  bool inKey_ = false;
  // Per key: key-to-done, service, framework, window system, paint, lookup (microseconds), window
  // made (0 or 1).
  std::vector<std::array<double, 7>> keys_;
  std::vector<std::string> labels_;
};

class ZoneScope {
 public:
  explicit ZoneScope(Zone zone) : active_(Timing::Get().enabled()) {
    if (active_) Timing::Get().Enter(zone);
  }
  ~ZoneScope() {
    if (active_) Timing::Get().Leave();
  }
  ZoneScope(const ZoneScope&) = delete;
  ZoneScope& operator=(const ZoneScope&) = delete;

 private:
  bool active_;
};

// The first statement of a framework method that a text service calls.
#define TSFHOST_FRAMEWORK_CALL const ::quillet::tsfhost::ZoneScope framework_zone_(::quillet::tsfhost::Zone::kFramework)

// The median and the p-th percentile (nearest rank) of `values`; 0 for none.
double Percentile(std::vector<double> values, double p);

}  // namespace quillet::tsfhost
