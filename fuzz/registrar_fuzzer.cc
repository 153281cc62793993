// The registrar script interpreter on any script: registering and then
// unregistering it against a registry held in memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_memory.h"
#include "com/registrar.h"
#include "com/registry.h"

using namespace tavirelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzFileSystem().Clear();
  Registry registry(FuzzFileSystem(), "/registry");
  Registrar registrar(&registry);
  registrar.AddReplacement("MODULE", "/usr/lib/libTavirelleHelper.so");
  registrar.AddReplacement("MODULEDIR", "/usr/lib");
  registrar.AddReplacement("APPID", "{00000000-0000-0000-0000-000000000001}");
  registrar.AddReplacement("LIBID", "{00000000-0000-0000-0000-000000000002}");
  registrar.AddReplacement("CLASSNAME", "Clip");
  registrar.AddReplacement("DESCRIPTION", "Clip Class");
  registrar.AddReplacement("CLSID", "{00000000-0000-0000-0000-000000000003}");
  std::string_view script(reinterpret_cast<const char*>(data), size);
  if (registrar.Register(script) == S_OK) {
    registrar.Unregister(script);
    // The memory file system only fails on purpose; what counts is no crash.
    registry.Save().IgnoreError();
  }
  return 0;
}
