// The Win32 calls that the Windows side of the platform layer (and of com/)
// makes, in standard C++ types only.
//
// <windows.h> and tavirelle/types.h cannot meet in one file: both define
// DWORD, GUID, HRESULT and the error codes, and <windows.h> turns names such
// as CreateDirectory and GENERIC_READ into macros. So win32.cc alone includes
// <windows.h>, and the rest of the Windows implementation calls the system
// through these. Paths are UTF-16; a call that fails returns false (or an
// empty result) with the reason in the thread's last error, as the call of the
// same name does.
#ifndef TAVIRELLE_PLATFORM_WINDOWS_WIN32_H_
#define TAVIRELLE_PLATFORM_WINDOWS_WIN32_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavirelle::win32 {

using Handle = void*;  // null when no file or module is held

uint32_t LastError();
void SetLastError(uint32_t code);

// ---- Text ----------------------------------------------------------------

// Windows-1252 text to UTF-16; fails on nothing but an out-of-memory.
bool CodePageToWide(std::string_view text, std::u16string* wide);
// UTF-16 to Windows-1252 without best-fit mapping: false (and
// ERROR_NO_UNICODE_TRANSLATION) when a character has no byte of its own.
// *text then holds the conversion with "?" in its place.
bool WideToCodePage(std::u16string_view wide, std::string* text);

// ---- Files ---------------------------------------------------------------

// CreateFileW, shared for reading, writing and deletion, as the file layer's
// callers open one file more than once (a reader beside a writer).
Handle CreateFile(const std::u16string& path, uint32_t access, uint32_t disposition);
bool ReadFile(Handle file, void* buffer, uint32_t n, uint32_t* done);
bool WriteFile(Handle file, const void* buffer, uint32_t n, uint32_t* done);
// `method`: 0 from the beginning, 1 from the current position, 2 from the end.
bool SetFilePointer(Handle file, int64_t offset, uint32_t method, uint64_t* position);
bool GetFileSize(Handle file, uint64_t* size);
bool SetEndOfFile(Handle file);
bool CloseHandle(Handle file);

bool CopyFile(const std::u16string& from, const std::u16string& to, bool fail_if_exists);
bool DeleteFile(const std::u16string& path);
// Across volumes too; `replace` lets it replace an existing file.
bool MoveFile(const std::u16string& from, const std::u16string& to, bool replace);
bool CreateDirectory(const std::u16string& path);
bool RemoveDirectory(const std::u16string& path);
bool GetFileAttributes(const std::u16string& path, uint32_t* attributes);
bool SetFileAttributes(const std::u16string& path, uint32_t attributes);

struct FoundFile {
  std::u16string name;
  uint32_t attributes = 0;
  uint64_t size = 0;
  int64_t last_write = 0;  // 100-nanosecond steps since 1601-01-01 UTC
};
// The entries FindFirstFileW/FindNextFileW give for `pattern`, in the order
// they come; an empty list (and true) when nothing matches in a folder that
// exists.
bool ListFiles(const std::u16string& pattern, std::vector<FoundFile>* found);
// The full path of what `path` leads to, every link on the way followed,
// and that file's or folder's attributes.
bool FinalPath(const std::u16string& path, std::u16string* final_path, uint32_t* attributes);
// Makes a symbolic link at `link` to the file `target`.
bool CreateSymbolicLink(const std::u16string& link, const std::u16string& target);
// Sets the last-write and last-access times of a file or folder.
bool SetFileTimes(const std::u16string& path, int64_t last_write);

// ---- Strings of the object runtime (oleaut32) -------------------------------

char16_t* SysAllocStringLen(const char16_t* text, uint32_t length);
char16_t* SysAllocStringByteLen(const char* bytes, uint32_t length);
void SysFreeString(char16_t* text);
uint32_t SysStringLen(char16_t* text);
uint32_t SysStringByteLen(char16_t* text);

// ---- VARIANTs of the object runtime (oleaut32) ------------------------------
// `variant` points at a VARIANT (24 bytes in the system's layout); the
// results are HRESULTs.

void VariantInit(void* variant);
int32_t VariantClear(void* variant);
int32_t VariantCopy(void* dest, const void* source);
int32_t VariantCopyInd(void* dest, const void* source);
int32_t VariantChangeType(void* dest, const void* source, uint16_t flags, uint16_t vt);

// ---- The registry (advapi32) ------------------------------------------------

// A predefined key by the name a registrar script or a full key path gives
// it ("HKEY_LOCAL_MACHINE" or "HKLM", the current user's, the classes
// root), ignoring case; null for any other name.
Handle PredefinedKey(std::string_view name);

struct RegistryEntry {
  std::u16string name;  // empty for the key's default value
  uint32_t type = 0;    // REG_SZ is 1, REG_EXPAND_SZ 2, REG_DWORD 4
  std::vector<uint8_t> data;
};
// Each call opens `path` below `root` for what it needs and closes it again.
// The key and the keys above it are made when missing.
bool RegistryCreateKey(Handle root, const std::u16string& path);
// The key's values and the names of its subkeys; false (ERROR_FILE_NOT_FOUND)
// when there is no such key.
bool RegistryReadKey(Handle root, const std::u16string& path, std::vector<RegistryEntry>* values,
                     std::vector<std::u16string>* subkeys);
// Sets a string value, making the key when missing.
bool RegistrySetString(Handle root, const std::u16string& path, const std::u16string& name,
                       const std::u16string& value);
// Sets a 32-bit number value (REG_DWORD), making the key when missing.
bool RegistrySetNumber(Handle root, const std::u16string& path, const std::u16string& name,
                       uint32_t value);
bool RegistryDeleteValue(Handle root, const std::u16string& path, const std::u16string& name);
// Deletes the key with everything below it.
bool RegistryDeleteTree(Handle root, const std::u16string& path);

// ---- Type libraries and locales (oleaut32, kernel32) ------------------------

// Loads the type library that `module` carries as its resource 1 and
// registers it, with `help_folder` as its help directory; `per_user` goes
// through the automation library's per-user entry point, looked up by name,
// where the system has one. The HRESULT.
int32_t RegisterTypeLibraryOf(const std::u16string& module, const std::u16string& help_folder,
                              bool per_user);
// Removes the registration of the library `libid` (16 bytes) of that
// version; the HRESULT.
int32_t UnregisterTypeLibrary(const uint8_t libid[16], uint16_t major, uint16_t minor,
                              bool per_user);

// The type information of the interface `iid` (16 bytes) in the library
// `libid` of that version as the registry places it (LoadRegTypeLib), an
// ITypeInfo* holding a reference for the caller; the HRESULT.
int32_t RegisteredInterfaceTypeInfo(const uint8_t libid[16], uint16_t major, uint16_t minor,
                                    const uint8_t iid[16], void** info);
// The same from the type library that `module` carries as its resource 1.
int32_t ModuleInterfaceTypeInfo(const std::u16string& module, const uint8_t iid[16],
                                void** info);

inline constexpr uint32_t kSystemDefaultLocale = 0x800;
// Sets the calling thread's locale; the one it had, or 0 when it failed.
uint32_t SetThreadLocale(uint32_t locale);
uint32_t ThreadLocale();
// The locale identifier `locale` stands for (the system default for 0x800).
uint32_t ConvertDefaultLocale(uint32_t locale);

// ---- Modules, the process and the machine -----------------------------------

// GetModuleFileNameW, of the program when `module` is null; empty on failure.
std::u16string ModuleFileName(Handle module);
// The module whose code or data holds `address`, without taking a reference.
Handle ModuleHolding(const void* address);
// The program's own module.
Handle ProgramModule();
Handle LoadLibrary(const std::u16string& path);
void* GetProcAddress(Handle module, const char* name);
// The system's words for an error code, without the line break it ends in.
std::u16string ErrorMessage(uint32_t code);

// A new GUID from the system (CoCreateGuid) in its 16-byte layout; the
// HRESULT.
int32_t CreateGuid(uint8_t bytes[16]);
// The machine-wide application data folder (CSIDL_COMMON_APPDATA); empty on
// failure.
std::u16string CommonAppDataFolder();
// The folder for temporary files (GetTempPathW), with a trailing backslash.
std::u16string TempFolder();
// How many processors this process may run on (its affinity mask), at least 1.
unsigned ProcessorsOfThisProcess();

}  // namespace tavirelle::win32

#endif  // TAVIRELLE_PLATFORM_WINDOWS_WIN32_H_
