// The system calls that the machine's file system copies and renames with,
// as one table, so that a test can hand it calls that behave as other file
// systems' do: a copy that cannot cross devices, a call interrupted by a
// signal, a write that takes part of its bytes, a rename without the flag
// that keeps an existing file. Each call returns and sets errno as the
// system call of its name does.
#ifndef TAVIRELLE_PLATFORM_SYSTEM_CALLS_H_
#define TAVIRELLE_PLATFORM_SYSTEM_CALLS_H_

#include <sys/types.h>

#include <functional>
#include <memory>

#include "platform/file_system.h"

namespace tavirelle {

struct SystemCalls {
  // copy_file_range(in, nullptr, out, nullptr, length, 0)
  std::function<ssize_t(int in, int out, size_t length)> copy_file_range;
  std::function<ssize_t(int fd, void* buffer, size_t length)> read;
  std::function<ssize_t(int fd, const void* buffer, size_t length)> write;
  // renameat2(AT_FDCWD, from, AT_FDCWD, to, flags)
  std::function<int(const char* from, const char* to, unsigned flags)> renameat2;
  std::function<int(const char* from, const char* to)> link;
};

// The calls of this machine, which DefaultFileSystem uses.
SystemCalls RealSystemCalls();

// A file system of this machine, as DefaultFileSystem, that copies and
// renames through `calls`.
std::unique_ptr<FileSystem> NewPosixFileSystem(SystemCalls calls);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_SYSTEM_CALLS_H_
