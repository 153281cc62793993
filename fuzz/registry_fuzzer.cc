// The registry file reader on any hive file, and the writer on what it read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_memory.h"
#include "com/registry.h"

using namespace tavirelle;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PutInput("/registry/HKEY_LOCAL_MACHINE.reg", data, size);
  Registry registry(FuzzFileSystem(), "/registry");
  if (!registry.Load().ok()) return 0;
  // A hive we write must read back as the same hive.
  std::string written = registry.hive(kLocalMachine)->ToText();
  RegistryHive again(kLocalMachine);
  if (!again.Parse(written) || again.ToText() != written) __builtin_trap();
  return 0;
}
