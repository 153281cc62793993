// GUIDs: the standard 16-byte layout, random creation and text forms.
#ifndef TAVIRELLE_PLATFORM_GUID_H_
#define TAVIRELLE_PLATFORM_GUID_H_

#include <cstring>
#include <string>
#include <string_view>

#include "platform/types.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using REFGUID = const GUID&;

inline bool operator==(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// A new random (version 4) GUID from the operating system's random source.
HRESULT CoCreateGuid(GUID* guid);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry
// stores class identifiers.
std::string GuidToString(const GUID& guid);

// Parses the braced form (either case); false when the text is not one.
bool GuidFromString(std::string_view text, GUID* guid);

#endif  // TAVIRELLE_PLATFORM_GUID_H_
