#include "platform/guid.h"

#include <cstring>

#include "platform/windows/win32.h"

namespace tavirelle {

// The system's GUIDs are random ones (version 4) from its own source.
HRESULT CoCreateGuid(GUID* guid) {
  if (guid == nullptr) return E_INVALIDARG;
  uint8_t bytes[16];
  const HRESULT hr = win32::CreateGuid(bytes);
  static_assert(sizeof bytes == sizeof(GUID));
  if (SUCCEEDED(hr)) std::memcpy(guid, bytes, sizeof bytes);
  return hr;
}

}  // namespace tavirelle
