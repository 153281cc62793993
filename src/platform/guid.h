// GUIDs: the standard 16-byte layout, random creation and text forms.
#ifndef TAVIRELLE_PLATFORM_GUID_H_
#define TAVIRELLE_PLATFORM_GUID_H_

#include <cstring>
#include <string>
#include <string_view>

#include "tavirelle/types.h"

namespace tavirelle {

// A new random (version 4) GUID from the operating system's random source.
HRESULT CoCreateGuid(GUID* guid);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry
// stores class identifiers.
std::string GuidToString(const GUID& guid);

// Parses the braced form (either case); false when the text is not one.
bool GuidFromString(std::string_view text, GUID* guid);

// The GUID whose text form spells `bytes` in order (the first three fields
// big-endian, as written).
GUID GuidFromTextOrder(const uint8_t bytes[16]);

}  // namespace tavirelle

#endif  // TAVIRELLE_PLATFORM_GUID_H_
