// The production access path of a source: the shared dictionary block and its lock. Kept apart from
// the search so that the search links without the block's OS layer.
#include <new>
#include <optional>

#include "ipc/shared_block.h"
#include "lookup/tab_source.h"

namespace quillet {
namespace {

class BlockAccess final : public DictionaryAccess {
 public:
  BlockAccess(DictionaryBlock& block, size_t position, const RankingData* ranking)
      : block_(block), position_(position), ranking_(ranking) {}

  bool Acquire(const DictionaryView** view) override {
    lock_.emplace(block_);
    if (!*lock_) {
      lock_.reset();
      return false;
    }
    // The directory is only read under the lock; a position it does not have reads as empty.
    *view = position_ < block_.directory.size() ? &block_.directory[position_] : &empty_;
    return true;
  }
  void Release() override { lock_.reset(); }
  RankingData Ranking() override { return ranking_ != nullptr ? *ranking_ : RankingData{}; }

 private:
  DictionaryBlock& block_;
  size_t position_;
  const RankingData* ranking_;
  std::optional<BlockReadLock> lock_;
  DictionaryView empty_;
};

}  // namespace

std::unique_ptr<TabSource> CreateTabSource(DictionaryBlock& block, size_t position, uint16_t minWordLength,
                                           const RankingData* ranking) {
  std::unique_ptr<DictionaryAccess> access(new (std::nothrow) BlockAccess(block, position, ranking));
  if (!access) return nullptr;
  return std::unique_ptr<TabSource>(new (std::nothrow) TabSource(std::move(access), minWordLength));
}

}  // namespace quillet
