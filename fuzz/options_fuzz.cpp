// The options, the learning inbox and the ranking image over random bytes: reads stay inside what they are given,
// writes leave a record of the right shape that reads back what was written, and every ranking view
// an image yields answers its lookups inside the image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/learn_inbox.h"
#include "common/options_record.h"
#include "common/ranking_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first bytes as an options record (padded or cut to its size).
  std::vector<uint8_t> record(data, data + (size < quillet::kOptionsRecordSize ? size : quillet::kOptionsRecordSize));
  record.resize(quillet::kOptionsRecordSize, 0);
  const int16_t id = size > 0 ? static_cast<int16_t>(data[size - 1] % 16) : 0;
  const quillet::TabOptions read = quillet::ReadTabOptions(record.data(), record.size(), id);
  if (static_cast<int>(read.order) > 2) __builtin_trap();
  if (static_cast<int>(quillet::ReadToggleKey(record.data(), record.size())) > 2) __builtin_trap();
  const quillet::TabOptions written{static_cast<quillet::CandidateOrder>(id % 3), (id & 4) != 0, (id & 8) != 0};
  if (quillet::WriteTabOptions(record.data(), record.size(), id, written)) {
    if (!quillet::ValidOptionsRecord(record.data(), record.size())) __builtin_trap();
    if (quillet::ReadTabOptions(record.data(), record.size(), id) != written) __builtin_trap();
    // The toggle key is set beside the entries and disturbs none of them.
    const auto key = static_cast<quillet::ToggleKey>(id % 3);
    if (!quillet::SetToggleKey(record.data(), record.size(), key)) __builtin_trap();
    if (quillet::ReadToggleKey(record.data(), record.size()) != key) __builtin_trap();
    if (quillet::ReadTabOptions(record.data(), record.size(), id) != written) __builtin_trap();
  }
  // The whole input as a learning inbox: whatever it holds, reading stays inside and leaves it empty.
  std::vector<uint8_t> inbox(data, data + size);
  for (const quillet::LearnEvent& e : quillet::TakeLearnEvents(inbox.data(), inbox.size())) {
    if (e.word.size() > 40) __builtin_trap();
  }
  if (!quillet::TakeLearnEvents(inbox.data(), inbox.size()).empty()) __builtin_trap();
  // The whole input as a ranking image.
  for (const auto& view : quillet::ReadRankingImage(data, size)) {
    if (!view) continue;
    if (view->data() < data || view->data() >= data + size) __builtin_trap();
    const uint32_t n = view->entryCount();
    (void)view->BestInRange(0, n);
    (void)view->UnigramCost(n / 2);
    quillet::ContextRecord context;
    if (view->FindContext(quillet::kNoWord, 0, &context) && context.followerCount > 0) (void)view->Follower(context, 0);
  }
  return 0;
}
