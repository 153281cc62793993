// CTavirelleHelperModule: the module object. It owns the object map of the
// four creatable classes, the cache of their class objects, the per-user
// registration flag, and registration through the registrar scripts.
//
// The module's lock count (live objects plus server locks) is the one in
// platform/com_object.h; a class object held only by the cache does not
// count, so the module can unload once the host let go of everything.
#ifndef TAVIRELLE_SHELL_MODULE_H_
#define TAVIRELLE_SHELL_MODULE_H_

#include <atomic>
#include <mutex>
#include <span>
#include <string>

#include "com/com.h"
#include "platform/file_system.h"
#include "tavirelle/com_ptr.h"

namespace tavirelle {

using CreatorFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** object);

struct ObjectEntry {
  const CLSID* clsid;
  const char* name;         // "QXHelper": ProgIDs are TavirelleHelper.<name>[.1]
  const char* description;  // "QXHelper Class"
  CreatorFunction create;
};

class CTavirelleHelperModule {
 public:
  static CTavirelleHelperModule& Instance();

  std::span<const ObjectEntry> ObjectMap() const;

  // The class of this module that `name` names: its ProgID
  // ("TavirelleHelper.QXHelper", with or without ".1", any case) or its class
  // ID in braces. Null when none does.
  const CLSID* FindClass(const std::string& name) const;

  // The class object of `clsid`, created on first request and cached.
  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object);

  // Register and unregister keep the registry's hive files in `fs`.
  HRESULT RegisterServer(FileSystem& fs);
  HRESULT UnregisterServer(FileSystem& fs);
  // Registers, undoing a registration that fails part-way; or unregisters.
  HRESULT Install(FileSystem& fs, bool install);

  void set_per_user(bool per_user) { per_user_ = per_user; }
  bool per_user() const { return per_user_; }

  // Absolute path of the module file this code was loaded from.
  static std::string ModulePath();

  ~CTavirelleHelperModule() = default;

 private:
  CTavirelleHelperModule() = default;
  HRESULT UpdateRegistry(FileSystem& fs, bool do_register);

  std::mutex mutex_;  // serialises creating class objects
  ComPtr<IClassFactory> factories_[4];
  std::atomic<bool> per_user_{false};
};

}  // namespace tavirelle

#endif  // TAVIRELLE_SHELL_MODULE_H_
