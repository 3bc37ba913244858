// Any file where the learned store is kept, loaded as the loader and `lexforge lookup --history` load
// it: a file the store refuses is set aside whole and the store starts empty; a store that loads holds
// only weights that learning gives, takes what is learned next, is saved, and loads again to the same
// store. A store of small capacity keeps to its capacity whatever the file holds.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/learned_store.h"
#include "fuzz/fuzz_scratch.h"
#include "platform/kept_file.h"

using namespace quillet;

namespace {

// How the loader and the lookup command keep the store.
platform::KeptFile Kept(const std::u16string& path) {
  return platform::KeptFile(path, kMaxLearnedFileSize, &IsLearnedStore);
}

// Loads as they do: the store from a file that holds one, else empty; *damaged when it was set aside.
bool Load(const std::u16string& path, LearnedStore* store, bool* damaged) {
  store->Clear();
  const platform::KeptContent content = Kept(path).Load();
  *damaged = content.origin == platform::KeptOrigin::kDamaged;
  if (content.origin == platform::KeptOrigin::kFile) store->Load(content.bytes.data(), content.bytes.size());
  return content.origin != platform::KeptOrigin::kUnreadable;
}

fuzz::Scratch& scratch() {
  static fuzz::Scratch s;
  return s;
}

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Same(const std::string& file, const uint8_t* data, size_t size) {
  return file.size() == size && (size == 0 || std::equal(data, data + size, file.begin(), [](uint8_t a, char b) {
                                   return a == static_cast<uint8_t>(b);
                                 }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& s = scratch();
  if (!s.Write("learned.dat", data, size)) return 0;
  std::remove(s.Path("learned.dat.damaged").c_str());

  LearnedStore store;
  store.Learn(u"", u"stale");  // whatever was in the store before goes
  bool damaged = true;
  platform::OsError error = 0;
  Check(Load(s.U16("learned.dat"), &store, &damaged));
  LearnedStore inMemory;
  Check(damaged == !inMemory.Load(data, size));
  if (damaged) {
    Check(store.size() == 0);
    Check(access(s.Path("learned.dat").c_str(), F_OK) != 0);
    Check(Same(s.Read("learned.dat.damaged"), data, size));
    return 0;
  }
  Check(Same(s.Read("learned.dat"), data, size));
  Check(inMemory.Serialize() == store.Serialize());

  LearnedStore small(16);
  Check(small.Load(data, size) && small.size() <= 16);

  // What the loader does next: learn, forget, publish, save; then the next session loads it.
  store.Learn(u"", u"Alpha", true);
  store.Learn(u"alpha", u"beta");
  (void)store.Forget(u"gamma");
  const std::vector<uint8_t> published = store.Serialize();
  LearnedView view;
  Check(LearnedView::FromBytes(published.data(), published.size(), &view) && view.count() == store.size());
  // Weights are what learning gives (each word adds one to a sum that decays), so the learning
  // order's arithmetic over them stays finite.
  Check(std::isfinite(view.wordTotal()));
  for (uint32_t i = 0; i < view.count(); ++i) {
    LearnedRecord r;
    Check(view.Record(i, &r) && r.weight < LearnedStore::kWeightLimit);
  }
  Check(Kept(s.U16("learned.dat")).Save(published.data(), published.size(), &error) == Result::kSuccess);
  LearnedStore next;
  Check(Load(s.U16("learned.dat"), &next, &damaged) && !damaged);
  // Weights go through 32 bits on the way, so the store is compared by what it holds.
  Check(next.size() == store.size() && next.Uses(u"alpha") == store.Uses(u"alpha") &&
        next.Uses(u"beta") == store.Uses(u"beta"));
  return 0;
}
