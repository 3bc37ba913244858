// The class object and the module's reference count, through the real quillsvc.dll, and the
// factory's handling of the objects it makes, with a stand-in class linked into this program.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "quillsvc/com/guids.h"
#include "quillsvc/com/module.h"
#include "quillsvc/com/tsf_interfaces.h"
#include "quillsvc/server/class_factory.h"
#include "quillsvc/server/server_testing.h"

namespace quillet {
namespace {

using testing::ServerDll;

class ServerDllTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dll_.Load()) << "quillsvc.dll did not load"; }

  IClassFactory* GetFactory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(dll_.getClassObject(kClsidTextService, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    return factory;
  }

  ServerDll dll_;
};

TEST_F(ServerDllTest, ClassObjectReferencesKeepTheModuleLoaded) {
  EXPECT_EQ(dll_.canUnloadNow(), S_OK);
  IClassFactory* factory = GetFactory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(dll_.canUnloadNow(), S_FALSE);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(factory));
  void* other = &other;
  EXPECT_EQ(factory->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  factory->Release();
  EXPECT_EQ(dll_.canUnloadNow(), S_FALSE);
  unknown->Release();
  EXPECT_EQ(dll_.canUnloadNow(), S_OK);
}

TEST_F(ServerDllTest, LockServerHoldsTheModuleUntilUnlocked) {
  IClassFactory* factory = GetFactory();
  ASSERT_NE(factory, nullptr);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(dll_.canUnloadNow(), S_FALSE);
  // The lock is the last reference: giving it back deletes the factory.
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(dll_.canUnloadNow(), S_OK);
  IClassFactory* again = GetFactory();
  ASSERT_NE(again, nullptr);
  again->Release();
  EXPECT_EQ(dll_.canUnloadNow(), S_OK);
}

TEST_F(ServerDllTest, OnlyTheTextServicesClassIsServedAndOnlyAsAFactory) {
  const CLSID wrong = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* object = &object;
  EXPECT_EQ(dll_.getClassObject(wrong, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  object = &object;
  EXPECT_EQ(dll_.getClassObject(kClsidTextService, IID_IDispatch, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(dll_.getClassObject(kClsidTextService, IID_IClassFactory, nullptr), E_INVALIDARG);
  EXPECT_EQ(dll_.canUnloadNow(), S_OK);
}

TEST_F(ServerDllTest, CreateInstanceRefusesBadRequestsAndLeavesNothingAlive) {
  IClassFactory* factory = GetFactory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_INVALIDARG);
  void* object = &object;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  // The configure function is part of the module; releasing it leaves nothing alive.
  object = &object;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ITfFnConfigure, &object), S_OK);
  ASSERT_NE(object, nullptr);
  static_cast<IUnknown*>(object)->Release();
  // A text service asked for an interface it does not have is destroyed at once.
  object = &object;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  factory->Release();
  EXPECT_EQ(dll_.canUnloadNow(), S_OK);
}

TEST_F(ServerDllTest, ThreadsTakingAndDroppingClassObjectsAtOnceLeaveTheCountBalanced) {
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 3000; ++i) {
        IClassFactory* factory = nullptr;
        if (dll_.getClassObject(kClsidTextService, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) {
          ++failures;
          continue;
        }
        if (i % 3 == 0) {
          factory->LockServer(TRUE);
          factory->Release();
          // The factory may only be reached through the module now; unlocking goes the same way.
          IClassFactory* again = nullptr;
          if (dll_.getClassObject(kClsidTextService, IID_IClassFactory, reinterpret_cast<void**>(&again)) != S_OK) {
            ++failures;
            continue;
          }
          again->LockServer(FALSE);
          again->Release();
        } else {
          factory->Release();
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(dll_.canUnloadNow(), S_OK);
}

// A class that counts itself in the module as the server's objects do and answers only IUnknown.
class StandIn final : public IUnknown {
 public:
  static std::atomic<int> alive;
  StandIn() {
    DllAddRef();
    ++alive;
  }
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (!IsEqualIID(riid, IID_IUnknown)) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  ~StandIn() {
    --alive;
    DllRelease();
  }
  ULONG references_ = 1;
};
std::atomic<int> StandIn::alive{0};

HRESULT CreateStandIn(REFIID, IUnknown** object) {
  *object = new StandIn;
  return S_OK;
}
HRESULT CreateNothing(REFIID, IUnknown**) { return E_OUTOFMEMORY; }
HRESULT CreateThrowingBadAlloc(REFIID, IUnknown**) { throw std::bad_alloc(); }
HRESULT CreateThrowingOther(REFIID, IUnknown**) { throw std::runtime_error("no"); }

class ClassFactoryTest : public ::testing::Test {};

TEST_F(ClassFactoryTest, TheCallerHoldsTheOnlyReferenceToANewObject) {
  CClassFactory factory(kClsidTextService, CreateStandIn);
  IUnknown* object = nullptr;
  ASSERT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)), S_OK);
  EXPECT_EQ(StandIn::alive.load(), 1);
  EXPECT_EQ(DllRefCount(), 0);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(StandIn::alive.load(), 0);
  EXPECT_EQ(DllRefCount(), -1);
}

TEST_F(ClassFactoryTest, AFailedQueryDestroysTheNewObject) {
  CClassFactory factory(kClsidTextService, CreateStandIn);
  void* object = &object;
  EXPECT_EQ(factory.CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(StandIn::alive.load(), 0);
  EXPECT_EQ(DllRefCount(), -1);
}

TEST_F(ClassFactoryTest, CreationFailuresAndExceptionsBecomeResults) {
  void* object = &object;
  EXPECT_EQ(CClassFactory(kClsidTextService, CreateNothing).CreateInstance(nullptr, IID_IUnknown, &object),
            E_OUTOFMEMORY);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CClassFactory(kClsidTextService, CreateThrowingBadAlloc).CreateInstance(nullptr, IID_IUnknown, &object),
            E_OUTOFMEMORY);
  EXPECT_EQ(CClassFactory(kClsidTextService, CreateThrowingOther).CreateInstance(nullptr, IID_IUnknown, &object),
            E_UNEXPECTED);
  EXPECT_EQ(DllRefCount(), -1);
}

}  // namespace
}  // namespace quillet
