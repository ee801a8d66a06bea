#include "vistrel/moduleregistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

// This binary registers its modules inside the tests, never during static initialisation, so
// the first test sees a registry that does not exist yet (ctest runs every case in its own
// process; a whole-binary run keeps declaration order).

namespace {

using vistrel::IVistrelModuleInstance;
using vistrel::ObjectFactory;
using vistrel::VistrelModule;

std::atomic<int> g_widgetsAlive{0};

struct Widget : IVistrelModuleInstance {
  Widget() { ++g_widgetsAlive; }
  ~Widget() override { --g_widgetsAlive; }
  int value = 0;
};

struct Gadget : IVistrelModuleInstance {};

// Its destructor uses its own factory: releasing it must not deadlock on the factory lock.
struct Reentrant : IVistrelModuleInstance {
  ~Reentrant() override { ObjectFactory<Reentrant>::instance().releaseInstance("other"); }
};

TEST(ModuleRegistry, LookupsBeforeAnyRegistrationFindNothing) {
  EXPECT_EQ(vistrel::findModule("Widget"), nullptr);
  EXPECT_EQ(vistrel::getModuleInstance("Widget", "a"), nullptr);
  EXPECT_EQ(vistrel::createModuleInstance("Widget"), nullptr);
  EXPECT_FALSE(vistrel::releaseModuleInstance("Widget", "a"));
  EXPECT_FALSE(vistrel::setModuleInstance("Widget", "a", std::make_shared<Widget>()));
}

TEST(ModuleRegistry, TakenNamesAreRefusedAndNamedFunctionsWorkOnTheClassFactory) {
  vistrel::IVistrelModule* widgets = &VistrelModule<Widget>::instance();
  vistrel::IVistrelModule* gadgets = &VistrelModule<Gadget>::instance();
  EXPECT_TRUE(vistrel::registerModule("test.Taken", widgets));
  EXPECT_FALSE(vistrel::registerModule("test.Taken", gadgets));
  EXPECT_EQ(vistrel::findModule("test.Taken"), widgets);
  EXPECT_EQ(&VistrelModule<Widget>::instance(), widgets);  // one module per class
  EXPECT_FALSE(vistrel::registerModule("test.Null", nullptr));
  EXPECT_EQ(vistrel::findModule("test.Null"), nullptr);
  EXPECT_EQ(vistrel::findModule("test.Unknown"), nullptr);

  // The named functions reach the module's slots, and those work on the class's factory.
  auto& factory = ObjectFactory<Widget>::instance();
  auto a = vistrel::getModuleInstance("test.Taken", "m.a");
  ASSERT_NE(std::dynamic_pointer_cast<Widget>(a), nullptr);
  EXPECT_EQ(vistrel::getModuleInstance("test.Taken", "m.a"), a);
  EXPECT_EQ(std::static_pointer_cast<IVistrelModuleInstance>(factory.getInstance("m.a")), a);

  // createInstance makes a fresh object and leaves the factory alone.
  const std::size_t entries = factory.size();
  auto loose = vistrel::createModuleInstance("test.Taken");
  ASSERT_NE(std::dynamic_pointer_cast<Widget>(loose), nullptr);
  EXPECT_NE(loose, a);
  EXPECT_EQ(factory.size(), entries);

  EXPECT_TRUE(vistrel::setModuleInstance("test.Taken", "m.a", loose));
  EXPECT_EQ(vistrel::getModuleInstance("test.Taken", "m.a"), loose);
  // Another class is stored as an empty pointer, and the call still succeeds.
  EXPECT_TRUE(vistrel::setModuleInstance("test.Taken", "m.a", std::make_shared<Gadget>()));
  EXPECT_TRUE(factory.contains("m.a"));
  EXPECT_EQ(vistrel::getModuleInstance("test.Taken", "m.a"), nullptr);
  EXPECT_TRUE(vistrel::releaseModuleInstance("test.Taken", "m.a"));
  EXPECT_FALSE(vistrel::releaseModuleInstance("test.Taken", "m.a"));
}

TEST(ObjectFactory, SameNameSameObjectUntilReleased) {
  auto& factory = ObjectFactory<Widget>::instance();
  const int aliveBefore = g_widgetsAlive;
  std::shared_ptr<Widget> first = factory.getInstance("f.same");
  ASSERT_NE(first, nullptr);
  first->value = 7;
  EXPECT_EQ(factory.getInstance("f.same"), first);
  EXPECT_NE(factory.getInstance("f.other"), first);

  EXPECT_TRUE(factory.releaseInstance("f.same"));
  EXPECT_FALSE(factory.releaseInstance("f.same"));
  std::shared_ptr<Widget> second = factory.getInstance("f.same");
  // A fresh object; the earlier holder keeps its own, untouched.
  EXPECT_NE(second, first);
  EXPECT_EQ(std::make_pair(second->value, first->value), std::make_pair(0, 7));
  EXPECT_EQ(g_widgetsAlive, aliveBefore + 3);

  first.reset();
  EXPECT_EQ(g_widgetsAlive, aliveBefore + 2);
  EXPECT_TRUE(factory.releaseInstance("f.same"));
  EXPECT_TRUE(factory.releaseInstance("f.other"));
  second.reset();
  EXPECT_EQ(g_widgetsAlive, aliveBefore);
}

TEST(ObjectFactory, ReleasingAnInstanceWhoseDestructorUsesTheFactoryDoesNotDeadlock) {
  auto& factory = ObjectFactory<Reentrant>::instance();
  factory.getInstance("self");
  factory.getInstance("other");
  EXPECT_TRUE(factory.releaseInstance("self"));  // the destructor releases "other"
  EXPECT_FALSE(factory.contains("other"));
  factory.getInstance("again");
  EXPECT_TRUE(factory.setInstance("again", nullptr));  // replaced instance destroyed unlocked
  EXPECT_TRUE(factory.releaseInstance("again"));
}

// For ThreadSanitizer (scripts/tsan): a registration racing lookups, and one factory's slots
// taken, replaced and released from several threads at once.
TEST(ObjectFactory, ThreadsRegisterLookUpAndReplaceAtOnce) {
  auto& factory = ObjectFactory<Widget>::instance();
  const int aliveBefore = g_widgetsAlive;
  vistrel::IVistrelModule* widgets = &VistrelModule<Widget>::instance();
  std::atomic<int> registered{0}, empty{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      // Registrations first: the factory's lock would otherwise order them for the sanitizer.
      for (int i = 0; i < 10; ++i) {
        // One thread wins a shared name; a name of its own is always taken.
        if (vistrel::registerModule("test.Hammered", widgets)) ++registered;
        EXPECT_TRUE(vistrel::registerModule("test.T" + std::to_string(t * 100 + i), widgets));
        vistrel::findModule("test.Hammered");
      }
      for (int i = 0; i < 500; ++i) {
        const std::string name = "t." + std::to_string((i + t) % 3);
        if (factory.getInstance(name) == nullptr) ++empty;
        if ((i + t) % 2 == 0) factory.setInstance(name, std::make_shared<Widget>());
        if ((i + t) % 3 == 0) factory.releaseInstance(name);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(registered, 1);
  EXPECT_EQ(empty, 0);
  for (const char* name : {"t.0", "t.1", "t.2"}) factory.releaseInstance(name);
  EXPECT_EQ(g_widgetsAlive, aliveBefore);  // nothing leaked, nothing destroyed twice
}

TEST(RwLock, ExclusiveFlagAndMutualExclusion) {
  vistrel::RwLock lock;
  EXPECT_FALSE(lock.isLockedExclusive());
  std::optional<vistrel::ScopedExclusiveLock> guard(lock);
  EXPECT_TRUE(lock.isLockedExclusive());
  guard.reset();
  EXPECT_FALSE(lock.isLockedExclusive());
  {
    // Two shared holders at once from one thread's view: the shared mode admits both.
    vistrel::ScopedSharedLock first(lock);
    std::thread other([&] { vistrel::ScopedSharedLock second(lock); });
    other.join();
    EXPECT_FALSE(lock.isLockedExclusive());
  }

  // A shared holder waits until the exclusive one lets go.
  std::atomic<bool> entered{false};
  std::thread reader;
  {
    vistrel::ScopedExclusiveLock guard(lock);
    reader = std::thread([&] {
      vistrel::ScopedSharedLock shared(lock);
      entered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered);
  }
  reader.join();
  EXPECT_TRUE(entered);
}

}  // namespace
