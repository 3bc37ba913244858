// The object table behind the POSIX named objects, from inside: its limits, holders that died, and a
// process that died holding the table's mutex.
#include "platform/posix/object_table.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "common/utf16.h"
#include "platform/named_objects.h"
#include "platform/posix/holders.h"
#include "platform/test_namespace.h"

namespace quillet::platform::posix {
namespace {

// Above any pid the kernel hands out (pid_max is at most 2^22).
constexpr int32_t kNoSuchPid = 0x3FFFFFFF;

std::u16string Name(size_t i) { return u"Local\\@@OBJ" + FromUtf8(std::to_string(i)) + u"@@"; }

Table* CurrentTableOrFail() {
  OsError error = 0;
  Table* t = CurrentTable(&error);
  EXPECT_NE(t, nullptr) << error;
  return t;
}

// Another process that is alive for the whole test, as a holder: our parent.
Holder LiveStranger() {
  uint64_t start = 0;
  bool zombie = false;
  EXPECT_TRUE(ReadProcess(getppid(), &start, &zombie));
  return Holder{static_cast<int32_t>(getppid()), 1, start};
}

// Runs `body` in a child process that ends without any clean-up; returns its exit code.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ObjectTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(quillet::testing::IsolateNamespace("ot")); }
};

TEST_F(ObjectTableTest, AFullTableRefusesNewObjectsAndKeepsTheOld) {
  std::vector<std::unique_ptr<Event>> events;
  OsError error = 0;
  for (size_t i = 0; i < kMaxObjects; ++i) {
    events.push_back(std::make_unique<Event>());
    ASSERT_TRUE(events.back()->CreateOrOpen(Name(i), true, i % 2 == 0, nullptr, &error)) << i << ": " << error;
  }
  Event extra;
  EXPECT_FALSE(extra.CreateOrOpen(Name(kMaxObjects), true, true, nullptr, &error));
  EXPECT_EQ(error, static_cast<OsError>(ENFILE));
  Mapping mapping;
  EXPECT_FALSE(mapping.Create(Name(kMaxObjects), 4096, nullptr, &error));
  // Nothing that lives was given away or changed.
  for (size_t i = 0; i < kMaxObjects; ++i) {
    EXPECT_EQ(Wait(*events[i], 0, &error), i % 2 == 0 ? WaitResult::kSignalled : WaitResult::kTimedOut) << i;
  }

  // A closed object's slot, and one whose only holder died, serve again.
  events[3].reset();
  ASSERT_TRUE(extra.CreateOrOpen(Name(kMaxObjects), true, true, nullptr, &error)) << error;
  Table* t = CurrentTableOrFail();
  ASSERT_NE(t, nullptr);
  {
    TableLock lock(t);
    ASSERT_TRUE(lock.locked());
    Entry* e = Find(t, ToUtf8(Name(5)));
    ASSERT_NE(e, nullptr);
    e->holders[0] = Holder{kNoSuchPid, 1, 1};
  }
  Event another;
  EXPECT_TRUE(another.CreateOrOpen(Name(kMaxObjects + 1), true, true, nullptr, &error)) << error;
  Event gone;
  EXPECT_FALSE(gone.Open(Name(5), &error)) << "the dead holder's object was freed";
}

TEST_F(ObjectTableTest, AnObjectHeldByTheMostProcessesTakesNoFurtherOne) {
  Table* t = CurrentTableOrFail();
  ASSERT_NE(t, nullptr);
  OsError error = 0;
  {
    Event first;
    ASSERT_TRUE(first.CreateOrOpen(u"Local\\@@CROWDED@@", true, true, nullptr, &error)) << error;
    // Every slot goes to other live processes; the table then holds the object for them.
    TableLock lock(t);
    ASSERT_TRUE(lock.locked());
    Entry* e = Find(t, "Local\\@@CROWDED@@");
    ASSERT_NE(e, nullptr);
    for (Holder& h : e->holders) h = LiveStranger();
  }
  Event late;
  EXPECT_FALSE(late.Open(u"Local\\@@CROWDED@@", &error));
  EXPECT_EQ(error, static_cast<OsError>(EMFILE));
  EXPECT_FALSE(late.CreateOrOpen(u"Local\\@@CROWDED@@", true, true, nullptr, &error));
  {
    TableLock lock(t);
    Entry* e = Find(t, "Local\\@@CROWDED@@");
    ASSERT_NE(e, nullptr) << "a refused opener must not drop the object of the others";
    for (const Holder& h : e->holders) EXPECT_EQ(h.pid, static_cast<int32_t>(getppid()));
    // One of them dies: its slot is ours to take.
    e->holders[kMaxHolders - 1] = Holder{kNoSuchPid, 1, 1};
  }
  EXPECT_TRUE(late.Open(u"Local\\@@CROWDED@@", &error)) << error;
  EXPECT_EQ(Wait(late, 0, &error), WaitResult::kSignalled);
  {
    TableLock lock(t);
    Entry* e = Find(t, "Local\\@@CROWDED@@");
    ASSERT_NE(e, nullptr);
    for (Holder& h : e->holders) h = Holder{};  // the strangers let go
  }
}

TEST_F(ObjectTableTest, AProcessThatDiedHoldingTheTablesMutexDoesNotLockOthersOut) {
  Table* t = CurrentTableOrFail();
  ASSERT_NE(t, nullptr);
  Event kept;
  OsError error = 0;
  ASSERT_TRUE(kept.CreateOrOpen(u"Local\\@@KEPT@@", true, false, nullptr, &error)) << error;

  // Dies inside a table operation, the mutex held.
  EXPECT_EQ(InChild([t]() -> int {
              TableLock lock(t);
              _exit(lock.locked() ? 0 : 1);
            }),
            0);
  // The next locker, here in another process, takes the mutex over and gives it back.
  EXPECT_EQ(InChild([t] {
              bool locked = false;
              {
                TableLock lock(t);
                locked = lock.locked();
              }
              return locked ? 0 : 1;
            }),
            0);
  ASSERT_TRUE(kept.Set());
  EXPECT_EQ(Wait(kept, 0, &error), WaitResult::kSignalled);
  Event fresh;
  EXPECT_TRUE(fresh.CreateOrOpen(u"Local\\@@FRESH@@", false, true, nullptr, &error)) << error;
}

}  // namespace
}  // namespace quillet::platform::posix
