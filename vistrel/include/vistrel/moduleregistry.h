#pragma once

// The module registry: the library's configurable classes (modules) reachable by name.
//
// A module class T is reachable three ways:
//   - as a value the caller constructs itself;
//   - as a shared instance kept under an instance name in T's factory
//     (ObjectFactory<T, std::shared_ptr<T>, 0>, or T's own static getInstance / setInstance /
//     releaseInstance, which forward to it);
//   - through the registry by the module's name (findModule, getModuleInstance, ...).
//
// Modules register themselves during static initialisation (VISTREL_REGISTER_MODULE in the
// module's .cpp). Lookups by name use the constants below: one spelling on every compiler.
// Nothing is ever unregistered; the registry and the factories persist nothing.

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "vistrel/export.h"
#include "vistrel/rwlock.h"

namespace vistrel {

// Registered names of the library's modules.
inline constexpr char kCircleDetectorModuleName[] = "CircleDetector";
inline constexpr char kDetectRoiModuleName[] = "DetectRoi";

// Base of every module class; the registry hands instances out through it. Use
// std::dynamic_pointer_cast to reach the concrete class.
class VISTREL_EXPORT IVistrelModuleInstance {
 public:
  virtual ~IVistrelModuleInstance() = 0;
};

inline IVistrelModuleInstance::~IVistrelModuleInstance() = default;

// One object per module class: named instances of that class, without naming the class.
// Modules live for the whole process; they are never deleted through this interface.
class IVistrelModule {
 public:
  // The instance stored under `name`, created (default-constructed) and stored if absent.
  virtual std::shared_ptr<IVistrelModuleInstance> getInstance(const std::string& name) = 0;
  // Removes the entry under `name`; false if there was none. Holders keep their instance alive.
  virtual bool releaseInstance(const std::string& name) = 0;
  // Stores `instance` under `name`, replacing any entry. An instance of another class is stored
  // as an empty pointer (a later getInstance of that name returns it empty). Always true.
  virtual bool setInstance(const std::string& name,
                           std::shared_ptr<IVistrelModuleInstance> instance) = 0;
  // A new default-constructed instance, not stored anywhere.
  virtual std::shared_ptr<IVistrelModuleInstance> createInstance() = 0;

 protected:
  ~IVistrelModule() = default;
};

// The per-class store of named instances: one per class, created on first use, destroyed at
// exit. Every operation holds the factory's lock exclusively. An instance that the factory
// drops (release, replacement) is destroyed after the lock is let go, so a destructor may use
// the factory again. The third argument is a tag with no meaning; 0 everywhere.
template <class T, class Ptr = std::shared_ptr<T>, int Tag = 0>
class ObjectFactory {
 public:
  static ObjectFactory& instance() {
    static ObjectFactory factory;
    return factory;
  }

  virtual ~ObjectFactory() = default;
  ObjectFactory(const ObjectFactory&) = delete;
  ObjectFactory& operator=(const ObjectFactory&) = delete;

  // The instance under `name`; a default-constructed T is created and stored if absent.
  Ptr getInstance(const std::string& name) {
    ScopedExclusiveLock guard(*lock_);
    auto it = objects_.find(name);
    if (it == objects_.end()) {
      it = objects_.emplace(name, std::make_shared<T>()).first;
    }
    return it->second;
  }

  // Stores `object` under `name`, replacing any entry. Always true.
  bool setInstance(const std::string& name, Ptr object) {
    Ptr previous;
    {
      ScopedExclusiveLock guard(*lock_);
      Ptr& slot = objects_[name];
      previous = std::move(slot);
      slot = std::move(object);
    }
    return true;
  }

  // Removes the entry under `name`; false if there was none.
  bool releaseInstance(const std::string& name) {
    Ptr previous;
    {
      ScopedExclusiveLock guard(*lock_);
      auto it = objects_.find(name);
      if (it == objects_.end()) {
        return false;
      }
      previous = std::move(it->second);
      objects_.erase(it);
    }
    return true;
  }

  // Whether an entry (possibly an empty pointer) exists under `name`.
  bool contains(const std::string& name) {
    ScopedExclusiveLock guard(*lock_);
    return objects_.count(name) != 0;
  }

  // Number of entries.
  std::size_t size() {
    ScopedExclusiveLock guard(*lock_);
    return objects_.size();
  }

 private:
  ObjectFactory() : lock_(std::make_unique<RwLock>()) {}

  std::map<std::string, Ptr> objects_;
  std::unique_ptr<RwLock> lock_;
};

// The one IVistrelModule implementation, on the factory of T. One per class, created on first
// use. T must be default-constructible and derive from IVistrelModuleInstance.
template <class T>
class VistrelModule final : public IVistrelModule {
 public:
  using Factory = ObjectFactory<T, std::shared_ptr<T>, 0>;

  static VistrelModule& instance() {
    static VistrelModule module;
    return module;
  }

  std::shared_ptr<IVistrelModuleInstance> getInstance(const std::string& name) override {
    return Factory::instance().getInstance(name);
  }
  bool releaseInstance(const std::string& name) override {
    return Factory::instance().releaseInstance(name);
  }
  bool setInstance(const std::string& name,
                   std::shared_ptr<IVistrelModuleInstance> instance) override {
    Factory::instance().setInstance(name, std::dynamic_pointer_cast<T>(std::move(instance)));
    return true;
  }
  std::shared_ptr<IVistrelModuleInstance> createInstance() override {
    return std::make_shared<T>();
  }

  virtual ~VistrelModule() = default;

 private:
  VistrelModule() = default;
};

// Stores `module` under `name`; false (and the first module stays) when the name is taken.
// `module` is not owned and must outlive every lookup (the VistrelModule singletons do).
VISTREL_EXPORT bool registerModule(const std::string& name, IVistrelModule* module);

// The module registered under `name`, or null.
VISTREL_EXPORT IVistrelModule* findModule(const std::string& name);

// Shortcuts through findModule: an empty pointer or false when the module is unknown.
VISTREL_EXPORT std::shared_ptr<IVistrelModuleInstance> getModuleInstance(
    const std::string& moduleName, const std::string& instanceName);
VISTREL_EXPORT std::shared_ptr<IVistrelModuleInstance> createModuleInstance(
    const std::string& moduleName);
VISTREL_EXPORT bool releaseModuleInstance(const std::string& moduleName,
                                          const std::string& instanceName);
// False when the module is unknown, else true (even when the instance was of another class).
VISTREL_EXPORT bool setModuleInstance(const std::string& moduleName,
                                      const std::string& instanceName,
                                      std::shared_ptr<IVistrelModuleInstance> instance);

}  // namespace vistrel

// Registers module class `T` under `name` during static initialisation of the including .cpp.
// Use once per class, at namespace scope (inside namespace vistrel, say), in the class's own
// source file; `T` is the class's unqualified name as seen there. The library links
// module archives whole, so the registration survives static linking.
#define VISTREL_REGISTER_MODULE(T, name)                                           \
  namespace {                                                                      \
  [[maybe_unused]] const bool vistrelModuleRegistered_##T =                        \
      ::vistrel::registerModule((name), &::vistrel::VistrelModule<T>::instance()); \
  }
