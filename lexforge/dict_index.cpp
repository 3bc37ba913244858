#include "lexforge/dict_index.h"

namespace quillet::lexforge {

namespace {

constexpr uint32_t kMaxCapacity = 0xFFFF;

class IndexMaker {
 public:
  IndexMaker(const KeyTable& view, std::vector<IndexNode>& nodes, uint32_t capacity)
      : view_(view), nodes_(nodes), capacity_(capacity) {}

  void Run() {
    MakeNode(0, view_.count(), 0);
    // The nodes are made depth first, each before its children: an explicit stack instead of
    // recursion, as a run of long shared prefixes could otherwise go thousands of frames deep.
    while (!stack_.empty()) {
      Frame& top = stack_.back();
      if (top.letter == kIndexLetters) {
        stack_.pop_back();
        continue;
      }
      const Frame f = top;
      ++top.letter;
      const auto letter = static_cast<char16_t>(u'a' + f.letter);
      uint32_t g0 = 0, g1 = 0;
      if (!FindGroup(f, letter, &g0, &g1)) {
        nodes_[f.node].children[f.letter] = kChildAbsent;
        continue;
      }
      IndexNode& node = nodes_[f.node];
      if (node.lettersBegin == kNone) node.lettersBegin = g0;
      node.lettersEnd = g1;
      top.scan = g1;
      // May push a frame (invalidating `top` and `node`), which then runs before the next letter.
      const uint16_t child = MakeNode(g0, g1, f.depth + 1);
      nodes_[f.node].children[f.letter] = child;
    }
  }

  uint32_t made() const { return made_; }

 private:
  struct Frame {
    uint32_t node;
    uint32_t end;
    uint32_t depth;
    uint32_t scan;
    size_t letter;
  };

  // The code unit of entry i at `depth`; false when the key is not longer than depth.
  bool CharAt(uint32_t i, uint32_t depth, char16_t* c) const { return view_.CharAt(i, depth, c); }

  uint16_t MakeNode(uint32_t first, uint32_t end, uint32_t depth) {
    if (end - first < kEntriesPerNode) return kChildUnindexed;
    if (made_ + 1 >= capacity_) return kChildUnindexed;
    const uint32_t k = made_++;
    IndexNode& node = nodes_[k];
    node.rangeBegin = first;
    node.rangeEnd = end;
    node.lettersBegin = kNone;
    node.lettersEnd = kNone;
    for (auto& slot : node.children) slot = kChildAbsent;
    stack_.push_back(Frame{k, end, depth, first, 0});
    return static_cast<uint16_t>(k);
  }

  // The run of letter L from the frame's scan position: [g0, g1). Entries whose key ends at this depth
  // are passed over; for unsorted keys, smaller letters between members of the group fall inside it.
  bool FindGroup(const Frame& f, char16_t letter, uint32_t* g0, uint32_t* g1) const {
    uint32_t i = f.scan;
    char16_t c = 0;
    for (; i < f.end; ++i) {
      if (CharAt(i, f.depth, &c) && c >= letter) break;
    }
    if (i >= f.end || c > letter) return false;
    *g0 = i;
    *g1 = i + 1;
    if (i + 1 >= f.end) return true;
    uint32_t j = i + 1;
    bool passed = false;
    for (; j < f.end; ++j) {
      if (!CharAt(j, f.depth, &c) || c < letter) continue;
      if (c > letter) break;
      passed = true;
    }
    if (passed) *g1 = j;
    return true;
  }

  const KeyTable& view_;
  std::vector<IndexNode>& nodes_;
  const uint32_t capacity_;
  uint32_t made_ = 0;
  std::vector<Frame> stack_;
};

}  // namespace

Result BuildIndex(const KeyTable& view, std::vector<IndexNode>* nodes) {
  nodes->clear();
  const uint64_t capacity = uint64_t{view.count()} / kEntriesPerNode + 1;
  if (capacity > kMaxCapacity) return Result::kGeneralFailure;
  nodes->resize(static_cast<size_t>(capacity));
  IndexMaker maker(view, *nodes, static_cast<uint32_t>(capacity));
  maker.Run();
  nodes->resize(maker.made());
  return Result::kSuccess;
}

}  // namespace quillet::lexforge
