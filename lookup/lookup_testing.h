// Test access paths for a source: a dictionary image read directly, with a lock that can be made to
// fail, and counters that show every read happened under the lock.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "common/dictionary_view.h"
#include "lookup/tab_source.h"

namespace quillet::testing {

struct LockState {
  bool failNext = false;  // the next Acquire fails
  bool failAll = false;
  int held = 0;  // Acquire minus Release
  int acquired = 0;
};

class ImageAccess final : public DictionaryAccess {
 public:
  // `image` is a dictionary file, copied; `state` must outlive the access.
  ImageAccess(std::vector<uint8_t> image, LockState* state) : image_(std::move(image)), state_(state) {
    valid_ = DictionaryView::FromFile(image_.data(), image_.size(), &view_);
  }
  bool Acquire(const DictionaryView** view) override {
    if (state_ != nullptr && (state_->failAll || state_->failNext)) {
      state_->failNext = false;
      return false;
    }
    if (state_ != nullptr) {
      ++state_->held;
      ++state_->acquired;
    }
    *view = valid_ ? &view_ : nullptr;
    return true;
  }
  void Release() override {
    if (state_ != nullptr) --state_->held;
  }
  RankingData Ranking() override { return ranking_ != nullptr ? *ranking_ : RankingData{}; }
  void SetRanking(const RankingData* ranking) { ranking_ = ranking; }

 private:
  std::vector<uint8_t> image_;
  LockState* state_;
  const RankingData* ranking_ = nullptr;
  DictionaryView view_;
  bool valid_ = false;
};

inline std::unique_ptr<TabSource> MakeSource(const std::vector<uint8_t>& image, uint16_t minWordLength,
                                             LockState* state = nullptr) {
  return std::make_unique<TabSource>(std::make_unique<ImageAccess>(image, state), minWordLength);
}

// A source whose dictionary is ranked by `ranking` (which must outlive it).
inline std::unique_ptr<TabSource> MakeRankedSource(const std::vector<uint8_t>& image, uint16_t minWordLength,
                                                   const RankingData* ranking, LockState* state = nullptr) {
  auto access = std::make_unique<ImageAccess>(image, state);
  access->SetRanking(ranking);
  return std::make_unique<TabSource>(std::move(access), minWordLength);
}

}  // namespace quillet::testing
