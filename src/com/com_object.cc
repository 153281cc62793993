#include "com/com_object.h"

#include <atomic>

namespace tavirelle {

namespace {
std::atomic<LONG> g_lock_count{0};
std::atomic<DispatchProvider*> g_dispatch_provider{nullptr};
}  // namespace

LONG ModuleLockCount() { return g_lock_count.load(); }
void ModuleLock() { ++g_lock_count; }
void ModuleUnlock() { --g_lock_count; }

void SetDispatchProvider(DispatchProvider* provider) {
  g_dispatch_provider.store(provider);
}

DispatchProvider* GetDispatchProvider() { return g_dispatch_provider.load(); }

}  // namespace tavirelle
