// The module's entry point: once every static object is made, objects the
// module hands out are served late binding by the registered type library.
// (Programs that link the subsystem libraries, such as the tests, keep the
// tables the automation shell installs.)
#include "shell/windows/registered_dispatch.h"

namespace {

constexpr unsigned long kProcessAttach = 1;  // DLL_PROCESS_ATTACH
constexpr unsigned long kProcessDetach = 0;  // DLL_PROCESS_DETACH

}  // namespace

extern "C" int __stdcall DllMain(void*, unsigned long reason, void* reserved) {
  if (reason == kProcessAttach) {
    tavirelle::SetDispatchProvider(tavirelle::ModuleRegisteredDispatch());
  } else if (reason == kProcessDetach && reserved == nullptr) {
    // Unloaded while the process goes on (the host freed unused modules):
    // give the loader's type information back. At the process's end the
    // system takes everything back itself.
    tavirelle::ModuleRegisteredDispatch()->ReleaseTypeInfos();
  }
  return 1;
}
