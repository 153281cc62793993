// The one file of the Windows side that includes <windows.h> (see win32.h).
#include "platform/windows/win32.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <bit>
#include <cstring>

// <windows.h> names the narrow or wide variant of these by macros; here they
// name the functions of win32.h, which call the wide ones by their own names.
#undef CopyFile
#undef CreateDirectory
#undef CreateFile
#undef CreateSymbolicLink
#undef DeleteFile
#undef GetFileAttributes
#undef LoadLibrary
#undef MoveFile
#undef RemoveDirectory
#undef SetFileAttributes

namespace tavirelle::win32 {

namespace {

constexpr UINT kCodePage = 1252;

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

int64_t Ticks(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

FoundFile FoundFileOf(const WIN32_FIND_DATAW& data) {
  FoundFile found;
  found.name.assign(reinterpret_cast<const char16_t*>(data.cFileName));
  found.attributes = data.dwFileAttributes;
  found.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  found.last_write = Ticks(data.ftLastWriteTime);
  return found;
}

}  // namespace

uint32_t LastError() { return ::GetLastError(); }
void SetLastError(uint32_t code) { ::SetLastError(code); }

bool CodePageToWide(std::string_view text, std::u16string* wide) {
  wide->clear();
  if (text.empty()) return true;
  const int n = ::MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  return ::MultiByteToWideChar(kCodePage, 0, text.data(), static_cast<int>(text.size()),
                               reinterpret_cast<wchar_t*>(wide->data()), n) == n;
}

bool WideToCodePage(std::u16string_view wide, std::string* text) {
  text->clear();
  if (wide.empty()) return true;
  const auto* source = reinterpret_cast<const wchar_t*>(wide.data());
  const int length = static_cast<int>(wide.size());
  BOOL used_default = FALSE;
  const int n = ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, source, length, nullptr,
                                      0, nullptr, &used_default);
  if (n <= 0) return false;
  text->resize(static_cast<size_t>(n));
  if (::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, source, length, text->data(), n,
                            nullptr, &used_default) != n) {
    return false;
  }
  if (used_default) {
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  return true;
}

Handle CreateFile(const std::u16string& path, uint32_t access, uint32_t disposition) {
  HANDLE file = ::CreateFileW(Wide(path), access,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool ReadFile(Handle file, void* buffer, uint32_t n, uint32_t* done) {
  DWORD got = 0;
  const BOOL ok = ::ReadFile(file, buffer, n, &got, nullptr);
  *done = got;
  return ok != FALSE;
}

bool WriteFile(Handle file, const void* buffer, uint32_t n, uint32_t* done) {
  DWORD put = 0;
  const BOOL ok = ::WriteFile(file, buffer, n, &put, nullptr);
  *done = put;
  return ok != FALSE;
}

bool SetFilePointer(Handle file, int64_t offset, uint32_t method, uint64_t* position) {
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER now;
  if (!::SetFilePointerEx(file, distance, &now, method)) return false;
  if (position != nullptr) *position = static_cast<uint64_t>(now.QuadPart);
  return true;
}

bool GetFileSize(Handle file, uint64_t* size) {
  LARGE_INTEGER value;
  if (!::GetFileSizeEx(file, &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool SetEndOfFile(Handle file) { return ::SetEndOfFile(file) != FALSE; }
bool CloseHandle(Handle file) { return ::CloseHandle(file) != FALSE; }

bool CopyFile(const std::u16string& from, const std::u16string& to, bool fail_if_exists) {
  return ::CopyFileW(Wide(from), Wide(to), fail_if_exists ? TRUE : FALSE) != FALSE;
}

bool DeleteFile(const std::u16string& path) { return ::DeleteFileW(Wide(path)) != FALSE; }

bool MoveFile(const std::u16string& from, const std::u16string& to, bool replace) {
  DWORD flags = MOVEFILE_COPY_ALLOWED;
  if (replace) flags |= MOVEFILE_REPLACE_EXISTING;
  return ::MoveFileExW(Wide(from), Wide(to), flags) != FALSE;
}

bool CreateDirectory(const std::u16string& path) {
  return ::CreateDirectoryW(Wide(path), nullptr) != FALSE;
}

bool RemoveDirectory(const std::u16string& path) {
  return ::RemoveDirectoryW(Wide(path)) != FALSE;
}

bool GetFileAttributes(const std::u16string& path, uint32_t* attributes) {
  const DWORD value = ::GetFileAttributesW(Wide(path));
  if (value == INVALID_FILE_ATTRIBUTES) return false;
  *attributes = value;
  return true;
}

bool SetFileAttributes(const std::u16string& path, uint32_t attributes) {
  return ::SetFileAttributesW(Wide(path), attributes) != FALSE;
}

bool ListFiles(const std::u16string& pattern, std::vector<FoundFile>* found) {
  found->clear();
  WIN32_FIND_DATAW data;
  HANDLE search = ::FindFirstFileExW(Wide(pattern), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
  }
  do {
    found->push_back(FoundFileOf(data));
  } while (::FindNextFileW(search, &data));
  const DWORD error = ::GetLastError();
  ::FindClose(search);
  if (error != ERROR_NO_MORE_FILES) {
    ::SetLastError(error);
    return false;
  }
  return true;
}

bool FinalPath(const std::u16string& path, std::u16string* final_path, uint32_t* attributes) {
  // Folders open only with the backup-semantics flag; no access right is
  // needed to ask where a name leads.
  HANDLE file = ::CreateFileW(Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION information;
  bool ok = ::GetFileInformationByHandle(file, &information) != FALSE;
  std::u16string name(MAX_PATH, u'\0');
  DWORD n = 0;
  while (ok) {
    n = ::GetFinalPathNameByHandleW(file, reinterpret_cast<wchar_t*>(name.data()),
                                    static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
    if (n < name.size()) break;
    name.resize(n + 1);  // n is the size needed, terminator included
  }
  ok = ok && n > 0;
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  if (!ok) {
    ::SetLastError(error);
    return false;
  }
  name.resize(n);
  *final_path = std::move(name);
  *attributes = information.dwFileAttributes;
  return true;
}

bool CreateSymbolicLink(const std::u16string& link, const std::u16string& target) {
  return ::CreateSymbolicLinkW(Wide(link), Wide(target),
                               SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
}

bool SetFileTimes(const std::u16string& path, int64_t last_write) {
  // Folders open only with the backup-semantics flag.
  HANDLE file = ::CreateFileW(Wide(path), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(last_write));
  time.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(last_write) >> 32);
  const BOOL ok = ::SetFileTime(file, nullptr, &time, &time);
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  if (!ok) ::SetLastError(error);
  return ok != FALSE;
}

std::u16string ModuleFileName(Handle module) {
  std::u16string name(MAX_PATH, u'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(static_cast<HMODULE>(module),
                                         reinterpret_cast<wchar_t*>(name.data()),
                                         static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return name;
    }
    // Cut short: try again with room for more.
    if (name.size() >= 32768) return {};
    name.resize(name.size() * 2);
  }
}

char16_t* SysAllocStringLen(const char16_t* text, uint32_t length) {
  return reinterpret_cast<char16_t*>(
      ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text), length));
}

char16_t* SysAllocStringByteLen(const char* bytes, uint32_t length) {
  return reinterpret_cast<char16_t*>(::SysAllocStringByteLen(bytes, length));
}

void SysFreeString(char16_t* text) { ::SysFreeString(reinterpret_cast<BSTR>(text)); }

uint32_t SysStringLen(char16_t* text) { return ::SysStringLen(reinterpret_cast<BSTR>(text)); }

uint32_t SysStringByteLen(char16_t* text) {
  return ::SysStringByteLen(reinterpret_cast<BSTR>(text));
}

static_assert(sizeof(VARIANT) == 24, "the system's VARIANT is the one com/ lays out");

namespace {

// The system's declarations take the source VARIANT without const, though
// it only reads it.
VARIANT* Mutable(const void* variant) {
  return const_cast<VARIANT*>(static_cast<const VARIANT*>(variant));
}

}  // namespace

void VariantInit(void* variant) { ::VariantInit(static_cast<VARIANT*>(variant)); }

int32_t VariantClear(void* variant) { return ::VariantClear(static_cast<VARIANT*>(variant)); }

int32_t VariantCopy(void* dest, const void* source) {
  return ::VariantCopy(static_cast<VARIANT*>(dest), Mutable(source));
}

int32_t VariantCopyInd(void* dest, const void* source) {
  return ::VariantCopyInd(static_cast<VARIANT*>(dest), Mutable(source));
}

int32_t VariantChangeType(void* dest, const void* source, uint16_t flags, uint16_t vt) {
  return ::VariantChangeType(static_cast<VARIANT*>(dest), Mutable(source),
                             flags, vt);
}

namespace {

// The registry's calls give their error as a result, the file calls in the
// thread's last error; these report both ways alike.
bool RegistryResult(LSTATUS status) {
  if (status == ERROR_SUCCESS) return true;
  ::SetLastError(static_cast<DWORD>(status));
  return false;
}

}  // namespace

Handle PredefinedKey(std::string_view name) {
  struct Root {
    const char* full;
    const char* abbreviation;
    HKEY key;
  };
  const Root roots[] = {{"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
                        {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
                        {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT}};
  for (const Root& root : roots) {
    for (std::string_view candidate : {root.full, root.abbreviation}) {
      if (candidate.size() == name.size() &&
          ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, candidate.data(),
                           static_cast<int>(candidate.size()), name.data(),
                           static_cast<int>(name.size())) == CSTR_EQUAL) {
        return root.key;
      }
    }
  }
  return nullptr;
}

bool RegistryCreateKey(Handle root, const std::u16string& path) {
  HKEY key = nullptr;
  LSTATUS status = ::RegCreateKeyExW(static_cast<HKEY>(root), Wide(path), 0, nullptr, 0,
                                     KEY_WRITE, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) ::RegCloseKey(key);
  return RegistryResult(status);
}

bool RegistryReadKey(Handle root, const std::u16string& path, std::vector<RegistryEntry>* values,
                     std::vector<std::u16string>* subkeys) {
  HKEY key = nullptr;
  if (!RegistryResult(
          ::RegOpenKeyExW(static_cast<HKEY>(root), Wide(path), 0, KEY_READ, &key))) {
    return false;
  }
  values->clear();
  subkeys->clear();
  DWORD longest_name = 0, longest_data = 0, longest_subkey = 0;
  LSTATUS status = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest_subkey,
                                      nullptr, nullptr, &longest_name, &longest_data, nullptr,
                                      nullptr);
  for (DWORD i = 0; status == ERROR_SUCCESS; ++i) {
    std::wstring name(longest_name + 1, L'\0');
    DWORD name_length = static_cast<DWORD>(name.size());
    RegistryEntry entry;
    entry.data.resize(longest_data);
    DWORD type = 0, size = static_cast<DWORD>(entry.data.size());
    status = ::RegEnumValueW(key, i, name.data(), &name_length, nullptr, &type,
                             entry.data.data(), &size);
    if (status != ERROR_SUCCESS) break;
    entry.name.assign(reinterpret_cast<const char16_t*>(name.data()), name_length);
    entry.type = type;
    entry.data.resize(size);
    values->push_back(std::move(entry));
  }
  if (status == ERROR_NO_MORE_ITEMS) status = ERROR_SUCCESS;
  for (DWORD i = 0; status == ERROR_SUCCESS; ++i) {
    std::wstring name(longest_subkey + 1, L'\0');
    DWORD name_length = static_cast<DWORD>(name.size());
    status = ::RegEnumKeyExW(key, i, name.data(), &name_length, nullptr, nullptr, nullptr,
                             nullptr);
    if (status != ERROR_SUCCESS) break;
    subkeys->emplace_back(reinterpret_cast<const char16_t*>(name.data()), name_length);
  }
  if (status == ERROR_NO_MORE_ITEMS) status = ERROR_SUCCESS;
  ::RegCloseKey(key);
  return RegistryResult(status);
}

bool RegistrySetString(Handle root, const std::u16string& path, const std::u16string& name,
                       const std::u16string& value) {
  HKEY key = nullptr;
  if (!RegistryResult(::RegCreateKeyExW(static_cast<HKEY>(root), Wide(path), 0, nullptr, 0,
                                        KEY_SET_VALUE, nullptr, &key, nullptr))) {
    return false;
  }
  LSTATUS status =
      ::RegSetValueExW(key, name.empty() ? nullptr : Wide(name), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  ::RegCloseKey(key);
  return RegistryResult(status);
}

bool RegistrySetNumber(Handle root, const std::u16string& path, const std::u16string& name,
                       uint32_t value) {
  HKEY key = nullptr;
  if (!RegistryResult(::RegCreateKeyExW(static_cast<HKEY>(root), Wide(path), 0, nullptr, 0,
                                        KEY_SET_VALUE, nullptr, &key, nullptr))) {
    return false;
  }
  const DWORD number = value;
  LSTATUS status = ::RegSetValueExW(key, name.empty() ? nullptr : Wide(name), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&number), sizeof number);
  ::RegCloseKey(key);
  return RegistryResult(status);
}

bool RegistryDeleteValue(Handle root, const std::u16string& path, const std::u16string& name) {
  HKEY key = nullptr;
  if (!RegistryResult(
          ::RegOpenKeyExW(static_cast<HKEY>(root), Wide(path), 0, KEY_SET_VALUE, &key))) {
    return false;
  }
  LSTATUS status = ::RegDeleteValueW(key, name.empty() ? nullptr : Wide(name));
  ::RegCloseKey(key);
  return RegistryResult(status);
}

bool RegistryDeleteTree(Handle root, const std::u16string& path) {
  // RegDeleteTreeW empties a key given as null instead of deleting it: a
  // predefined key itself is never deleted.
  if (path.empty()) return RegistryResult(ERROR_INVALID_PARAMETER);
  return RegistryResult(::RegDeleteTreeW(static_cast<HKEY>(root), Wide(path)));
}

namespace {

// The automation library's per-user entry points, where the system has them
// (they came after the machine-wide ones).
template <typename Function>
Function PerUserEntryPoint(const char* name) {
  HMODULE automation = ::GetModuleHandleW(L"oleaut32.dll");
  if (automation == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(automation, name)));
}

}  // namespace

int32_t RegisterTypeLibraryOf(const std::u16string& module, const std::u16string& help_folder,
                              bool per_user) {
  ITypeLib* library = nullptr;
  HRESULT hr = ::LoadTypeLibEx(Wide(module), REGKIND_NONE, &library);
  if (FAILED(hr)) return hr;
  std::u16string path = module;
  std::u16string help = help_folder;
  using Register = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
  Register register_for_user =
      per_user ? PerUserEntryPoint<Register>("RegisterTypeLibForUser") : nullptr;
  OLECHAR* path_text = reinterpret_cast<OLECHAR*>(path.data());
  OLECHAR* help_text = help.empty() ? nullptr : reinterpret_cast<OLECHAR*>(help.data());
  hr = register_for_user != nullptr ? register_for_user(library, path_text, help_text)
                                    : ::RegisterTypeLib(library, path_text, help_text);
  library->Release();
  return hr;
}

int32_t UnregisterTypeLibrary(const uint8_t libid[16], uint16_t major, uint16_t minor,
                              bool per_user) {
  GUID guid;
  std::memcpy(&guid, libid, sizeof guid);
  using Unregister = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
  Unregister unregister_for_user =
      per_user ? PerUserEntryPoint<Unregister>("UnRegisterTypeLibForUser") : nullptr;
  return unregister_for_user != nullptr
             ? unregister_for_user(guid, major, minor, LOCALE_NEUTRAL, SYS_WIN64)
             : ::UnRegisterTypeLib(guid, major, minor, LOCALE_NEUTRAL, SYS_WIN64);
}

namespace {

HRESULT InterfaceTypeInfoOf(ITypeLib* library, const uint8_t iid[16], void** info) {
  GUID guid;
  std::memcpy(&guid, iid, sizeof guid);
  ITypeInfo* found = nullptr;
  HRESULT hr = library->GetTypeInfoOfGuid(guid, &found);
  library->Release();
  *info = found;
  return hr;
}

}  // namespace

int32_t RegisteredInterfaceTypeInfo(const uint8_t libid[16], uint16_t major, uint16_t minor,
                                    const uint8_t iid[16], void** info) {
  *info = nullptr;
  GUID guid;
  std::memcpy(&guid, libid, sizeof guid);
  ITypeLib* library = nullptr;
  HRESULT hr = ::LoadRegTypeLib(guid, major, minor, LOCALE_NEUTRAL, &library);
  return FAILED(hr) ? hr : InterfaceTypeInfoOf(library, iid, info);
}

int32_t ModuleInterfaceTypeInfo(const std::u16string& module, const uint8_t iid[16],
                                void** info) {
  *info = nullptr;
  ITypeLib* library = nullptr;
  HRESULT hr = ::LoadTypeLibEx(Wide(module), REGKIND_NONE, &library);
  return FAILED(hr) ? hr : InterfaceTypeInfoOf(library, iid, info);
}

uint32_t SetThreadLocale(uint32_t locale) {
  LCID previous = ::GetThreadLocale();
  return ::SetThreadLocale(locale) ? previous : 0;
}

uint32_t ThreadLocale() { return ::GetThreadLocale(); }

uint32_t ConvertDefaultLocale(uint32_t locale) { return ::ConvertDefaultLocale(locale); }

Handle ModuleHolding(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module)) {
    return nullptr;
  }
  return module;
}

Handle ProgramModule() { return ::GetModuleHandleW(nullptr); }

Handle LoadLibrary(const std::u16string& path) {
  // A missing module is an error for the caller to report, not a dialog box.
  return ::LoadLibraryExW(Wide(path), nullptr, 0);
}

void* GetProcAddress(Handle module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

std::u16string ErrorMessage(uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message;
  if (n > 0 && text != nullptr) message.assign(reinterpret_cast<const char16_t*>(text), n);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' ||
                              message.back() == u' ' || message.back() == u'.')) {
    message.pop_back();
  }
  return message;
}

int32_t CreateGuid(uint8_t bytes[16]) {
  ::GUID guid;
  const HRESULT hr = ::CoCreateGuid(&guid);
  if (SUCCEEDED(hr)) std::memcpy(bytes, &guid, sizeof guid);
  return hr;
}

std::u16string CommonAppDataFolder() {
  wchar_t path[MAX_PATH];
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                path))) {
    return {};
  }
  return reinterpret_cast<const char16_t*>(path);
}

std::u16string TempFolder() {
  wchar_t path[MAX_PATH + 1];
  const DWORD n = ::GetTempPathW(MAX_PATH + 1, path);
  if (n == 0 || n > MAX_PATH) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(path), n);
}

unsigned ProcessorsOfThisProcess() {
  DWORD_PTR process = 0, system = 0;
  if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0) {
    return static_cast<unsigned>(std::popcount(static_cast<uint64_t>(process)));
  }
  const DWORD active = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  return active > 0 ? active : 1;
}

}  // namespace tavirelle::win32
