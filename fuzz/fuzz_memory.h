// The in-memory file system every fuzz target puts its input into, so that
// millions of runs never touch the disk.
#ifndef TAVIRELLE_FUZZ_FUZZ_MEMORY_H_
#define TAVIRELLE_FUZZ_FUZZ_MEMORY_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "testing/memory_file_system.h"

using namespace tavirelle;

// The file system of the whole run, handed to the code under test; emptied
// for each input.
inline MemoryFileSystem& FuzzFileSystem() {
  static MemoryFileSystem* fs = new MemoryFileSystem;
  return *fs;
}

// Empties the file system and stores the input as the file `path`.
inline void PutInput(const std::string& path, const uint8_t* data, size_t size) {
  MemoryFileSystem& fs = FuzzFileSystem();
  fs.Clear();
  fs.SetFile(path, std::string(reinterpret_cast<const char*>(data), size));
}

#endif  // TAVIRELLE_FUZZ_FUZZ_MEMORY_H_
