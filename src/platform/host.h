// Where the hosting process lives and the machine's special folders.
#ifndef TAVIRELLE_PLATFORM_HOST_H_
#define TAVIRELLE_PLATFORM_HOST_H_

#include <string>

namespace tavirelle {

inline constexpr int CSIDL_COMMON_APPDATA = 0x23;

// Full path of the executable of the hosting process, in the process code
// page; empty when it cannot be found.
std::string HostExecutablePath();

// The installed data folder (default style template, sample config.xml,
// sample photos), with a trailing slash: share/tavirelle/ beside the bin/ or
// lib/ folder of the file that holds this code, the program or the module,
// so that an installed copy finds its data wherever it was installed. Empty
// when that file cannot be told; the folder need not exist.
std::string InstalledDataFolder();

// The path of a special folder with a trailing slash, or empty when this
// platform has no such folder. CSIDL_COMMON_APPDATA is "/var/lib/".
std::string PlatformSpecialFolder(int csidl);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_HOST_H_
