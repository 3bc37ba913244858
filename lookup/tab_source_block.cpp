// The production access path of a source: a dictionary of the loader's publication, which never
// changes once published, so nothing is locked.
#include <new>

#include "lookup/tab_source.h"

namespace quillet {
namespace {

class PublishedAccess final : public DictionaryAccess {
 public:
  PublishedAccess(const std::vector<DictionaryView>& directory, size_t position, const RankingData* ranking)
      : directory_(directory), position_(position), ranking_(ranking) {}

  bool Acquire(const DictionaryView** view) override {
    // A position the directory does not have reads as empty.
    *view = position_ < directory_.size() ? &directory_[position_] : &empty_;
    return true;
  }
  void Release() override {}
  RankingData Ranking() override { return ranking_ != nullptr ? *ranking_ : RankingData{}; }

 private:
  const std::vector<DictionaryView>& directory_;
  size_t position_;
  const RankingData* ranking_;
  DictionaryView empty_;
};

}  // namespace

std::unique_ptr<TabSource> CreateTabSource(const std::vector<DictionaryView>& directory, size_t position,
                                           uint16_t minWordLength, const RankingData* ranking) {
  std::unique_ptr<DictionaryAccess> access(new (std::nothrow) PublishedAccess(directory, position, ranking));
  if (!access) return nullptr;
  return std::unique_ptr<TabSource>(new (std::nothrow) TabSource(std::move(access), minWordLength));
}

}  // namespace quillet
