#include "vistrel/moduleregistry.h"

#include <atomic>

namespace vistrel {
namespace {

struct Registry {
  std::map<std::string, IVistrelModule*> modules;
  RwLock lock;
};

// Null until the first registration builds the registry, so a lookup before that touches
// nothing and finds nothing.
std::atomic<Registry*> g_registry{nullptr};

Registry& buildRegistry() {
  static Registry registry;
  g_registry.store(&registry, std::memory_order_release);
  return registry;
}

}  // namespace

bool registerModule(const std::string& name, IVistrelModule* module) {
  if (module == nullptr) {
    return false;
  }
  Registry& registry = buildRegistry();
  ScopedExclusiveLock guard(registry.lock);
  return registry.modules.emplace(name, module).second;
}

IVistrelModule* findModule(const std::string& name) {
  Registry* registry = g_registry.load(std::memory_order_acquire);
  if (registry == nullptr) {
    return nullptr;
  }
  // Lookups normally come after static initialisation, when the map no longer changes; the
  // shared lock keeps a late registration (a library loaded at run time) from racing them.
  ScopedSharedLock guard(registry->lock);
  auto it = registry->modules.find(name);
  return it == registry->modules.end() ? nullptr : it->second;
}

std::shared_ptr<IVistrelModuleInstance> getModuleInstance(const std::string& moduleName,
                                                          const std::string& instanceName) {
  IVistrelModule* module = findModule(moduleName);
  return module != nullptr ? module->getInstance(instanceName) : nullptr;
}

std::shared_ptr<IVistrelModuleInstance> createModuleInstance(const std::string& moduleName) {
  IVistrelModule* module = findModule(moduleName);
  return module != nullptr ? module->createInstance() : nullptr;
}

bool releaseModuleInstance(const std::string& moduleName, const std::string& instanceName) {
  IVistrelModule* module = findModule(moduleName);
  return module != nullptr && module->releaseInstance(instanceName);
}

bool setModuleInstance(const std::string& moduleName, const std::string& instanceName,
                       std::shared_ptr<IVistrelModuleInstance> instance) {
  IVistrelModule* module = findModule(moduleName);
  if (module == nullptr) {
    return false;
  }
  module->setInstance(instanceName, std::move(instance));
  return true;
}

}  // namespace vistrel
