#include "platform/named_objects.h"

#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/test_namespace.h"

namespace quillet::platform {
namespace {

const bool kIsolated = testing::IsolateNamespace("pt");

constexpr uint32_t kLong = 10000;

std::u16string Helper() { return testing::SiblingProgram(u"platform_test_helper"); }

Event MakeEvent(std::u16string_view name, bool manual, bool signalled) {
  Event e;
  OsError error = 0;
  bool existed = true;
  EXPECT_TRUE(e.CreateOrOpen(name, manual, signalled, &existed, &error)) << error;
  EXPECT_FALSE(existed);
  return e;
}

WaitResult Poll(Event& e) {
  OsError error = 0;
  return Wait(e, 0, &error);
}

TEST(EventTest, AutoResetIsTakenOnceManualResetStays) {
  ASSERT_TRUE(kIsolated);
  Event autoEvent = MakeEvent(u"Local\\@@AUTO@@", false, true);
  EXPECT_EQ(Poll(autoEvent), WaitResult::kSignalled);
  EXPECT_EQ(Poll(autoEvent), WaitResult::kTimedOut);
  ASSERT_TRUE(autoEvent.Set());
  EXPECT_EQ(Poll(autoEvent), WaitResult::kSignalled);

  Event manual = MakeEvent(u"Local\\@@MANUAL@@", true, true);
  EXPECT_EQ(Poll(manual), WaitResult::kSignalled);
  EXPECT_EQ(Poll(manual), WaitResult::kSignalled);
  ASSERT_TRUE(manual.Reset());
  OsError error = 0;
  EXPECT_EQ(Wait(manual, 30, &error), WaitResult::kTimedOut);
  EXPECT_NE(error, 0u);
}

TEST(EventTest, SecondCreateOpensTheExistingObjectAndKeepsItsKind) {
  Event first = MakeEvent(u"Local\\@@SAME@@", false, false);
  Event second;
  OsError error = 0;
  bool existed = false;
  ASSERT_TRUE(second.CreateOrOpen(u"Local\\@@SAME@@", true, true, &existed, &error));
  EXPECT_TRUE(existed);
  // Still the auto-reset, non-signalled event made first.
  EXPECT_EQ(Poll(second), WaitResult::kTimedOut);
  ASSERT_TRUE(first.Set());
  EXPECT_EQ(Poll(second), WaitResult::kSignalled);
  EXPECT_EQ(Poll(first), WaitResult::kTimedOut);

  Event missing;
  EXPECT_FALSE(missing.Open(u"Local\\@@NOSUCH@@", &error));
  EXPECT_FALSE(missing.valid());
  EXPECT_EQ(Wait(missing, 0, &error), WaitResult::kFailed);
  EXPECT_FALSE(missing.Set());

  // Once the last handle is closed the object is gone, state and all.
  first.Close();
  second.Close();
  EXPECT_FALSE(missing.Open(u"Local\\@@SAME@@", &error));
}

TEST(EventTest, WaitAllTakesBothAtOnceOrNeither) {
  Event a = MakeEvent(u"Local\\@@WA@@", false, true);
  Event b = MakeEvent(u"Local\\@@WB@@", false, false);
  OsError error = 0;
  EXPECT_EQ(WaitAll(a, b, 30, &error), WaitResult::kTimedOut);
  EXPECT_EQ(Poll(a), WaitResult::kSignalled) << "a wait for both must not take one alone";
  ASSERT_TRUE(a.Set());
  ASSERT_TRUE(b.Set());
  EXPECT_EQ(WaitAll(a, b, 0, &error), WaitResult::kSignalled);
  EXPECT_EQ(Poll(a), WaitResult::kTimedOut);
  EXPECT_EQ(Poll(b), WaitResult::kTimedOut);

  // A manual-reset partner stays signalled: that is how readers pass an open writers' gate.
  Event gate = MakeEvent(u"Local\\@@GATE@@", true, true);
  ASSERT_TRUE(a.Set());
  EXPECT_EQ(WaitAll(a, gate, 0, &error), WaitResult::kSignalled);
  EXPECT_EQ(Poll(gate), WaitResult::kSignalled);
}

TEST(EventTest, EventsWorkAcrossProcesses) {
  Event toHelper = MakeEvent(u"Local\\@@TOHELPER@@", false, false);
  Process waiter;
  testing::KillOnExit waiterGuard(waiter);
  OsError error = 0;
  ASSERT_TRUE(waiter.Start(Helper(), u"wait Local\\@@TOHELPER@@ 10000", &error)) << error;
  ASSERT_TRUE(toHelper.Set());
  int code = -1;
  ASSERT_TRUE(waiter.WaitForExit(kLong, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Poll(toHelper), WaitResult::kTimedOut) << "the helper took the auto-reset event";

  Event fromHelper = MakeEvent(u"Local\\@@FROMHELPER@@", true, false);
  Process signaller;
  testing::KillOnExit signallerGuard(signaller);
  ASSERT_TRUE(signaller.Start(Helper(), u"signal Local\\@@FROMHELPER@@", &error)) << error;
  EXPECT_EQ(Wait(fromHelper, kLong, &error), WaitResult::kSignalled);
  ASSERT_TRUE(signaller.WaitForExit(kLong, &code));
  EXPECT_EQ(code, 0);
}

TEST(EventTest, WaitAllAcrossProcessesIsAtomic) {
  Event a = MakeEvent(u"Local\\@@XA@@", false, true);
  Event b = MakeEvent(u"Local\\@@XB@@", false, false);
  Process waiter;
  testing::KillOnExit waiterGuard(waiter);
  OsError error = 0;
  ASSERT_TRUE(waiter.Start(Helper(), u"waitall Local\\@@XA@@ Local\\@@XB@@ 10000", &error)) << error;
  // Whatever the helper is doing, it must not have taken `a` without `b`.
  EXPECT_EQ(Wait(a, kLong, &error), WaitResult::kSignalled);
  ASSERT_TRUE(b.Set());
  EXPECT_FALSE(waiter.WaitForExit(100, nullptr)) << "b alone must not release the helper";
  ASSERT_TRUE(a.Set());
  int code = -1;
  ASSERT_TRUE(waiter.WaitForExit(kLong, &code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Poll(a), WaitResult::kTimedOut);
  EXPECT_EQ(Poll(b), WaitResult::kTimedOut);
}

TEST(MappingTest, CreateOpenAndSize) {
  OsError error = 0;
  Mapping created;
  bool existed = true;
  ASSERT_TRUE(created.Create(u"Local\\@@MAP@@", 10000, &existed, &error)) << error;
  EXPECT_FALSE(existed);
  EXPECT_FALSE(created.mapped());
  EXPECT_EQ(created.size(), 0u);
  ASSERT_TRUE(created.Map(&error)) << error;
  ASSERT_GE(created.size(), 10000u);
  for (size_t i = 0; i < 10000; ++i) ASSERT_EQ(created.data()[i], 0) << i;
  created.data()[9999] = 0xA5;

  Mapping opened;
  ASSERT_TRUE(opened.Open(u"Local\\@@MAP@@", &error)) << error;
  ASSERT_TRUE(opened.Map(&error));
  ASSERT_GE(opened.size(), 10000u);
  EXPECT_EQ(opened.data()[9999], 0xA5);
  opened.data()[0] = 0x3C;
  EXPECT_EQ(created.data()[0], 0x3C);

  Mapping again;
  ASSERT_TRUE(again.Create(u"Local\\@@MAP@@", 20, &existed, &error));
  EXPECT_TRUE(existed);
  ASSERT_TRUE(again.Map(&error));
  EXPECT_GE(again.size(), 10000u) << "opening an existing mapping keeps its size";

  Mapping missing;
  EXPECT_FALSE(missing.Open(u"Local\\@@NOMAP@@", &error));
  EXPECT_FALSE(missing.Map(&error));
  EXPECT_EQ(missing.data(), nullptr);

  created.Close();
  opened.Close();
  again.Close();
  EXPECT_FALSE(missing.Open(u"Local\\@@MAP@@", &error)) << "the last handle took the mapping with it";
}

TEST(MappingTest, NamesOfOtherKindsDoNotMix) {
  Event event = MakeEvent(u"Local\\@@TAKEN@@", true, true);
  Mapping mapping;
  OsError error = 0;
  EXPECT_FALSE(mapping.Open(u"Local\\@@TAKEN@@", &error));
  EXPECT_FALSE(mapping.Create(u"Local\\@@TAKEN@@", 100, nullptr, &error));
  EXPECT_TRUE(event.Set());
}

// A holder that dies without closing (killed) must not keep its objects alive, not even before it is
// reaped, and objects someone else still holds survive it with their state.
TEST(LifetimeTest, KilledHolderReleasesItsObjects) {
  OsError error = 0;
  Process holder;
  testing::KillOnExit holderGuard(holder);
  ASSERT_TRUE(holder.Start(Helper(), u"hold Local\\@@HELD@@ Local\\@@HELDMAP@@ 4096", &error)) << error;
  ASSERT_EQ(holder.WaitUntilReady(kLong, &error), WaitResult::kSignalled) << error;

  Event kept;
  Mapping seen;
  ASSERT_TRUE(testing::Eventually([&] { return seen.Open(u"Local\\@@HELDMAP@@", &error); })) << error;
  ASSERT_TRUE(kept.Open(u"Local\\@@HELD@@", &error)) << error;
  ASSERT_TRUE(seen.Map(&error));
  EXPECT_EQ(seen.data()[0], 0x5A);
  seen.Close();

  holder.Kill();
  // Not reaped yet (a zombie on POSIX), it holds nothing any more.
  Mapping gone;
  EXPECT_TRUE(testing::Eventually([&] { return !gone.Open(u"Local\\@@HELDMAP@@", &error); }));
  int code = 0;
  ASSERT_TRUE(holder.WaitForExit(kLong, &code));
  EXPECT_FALSE(gone.Open(u"Local\\@@HELDMAP@@", &error));
  EXPECT_EQ(Poll(kept), WaitResult::kSignalled) << "our handle keeps the event and its state";
  kept.Close();
  Event fresh;
  bool existed = true;
  ASSERT_TRUE(fresh.CreateOrOpen(u"Local\\@@HELD@@", false, false, &existed, &error));
  EXPECT_FALSE(existed);
}

}  // namespace
}  // namespace quillet::platform
