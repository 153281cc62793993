#include "platform/guid.h"

#include <sys/random.h>

#include <cerrno>

#include "platform/status.h"

namespace tavirelle {

HRESULT CoCreateGuid(GUID* guid) {
  if (guid == nullptr) return E_INVALIDARG;
  uint8_t bytes[16];
  size_t have = 0;
  while (have < sizeof bytes) {
    ssize_t n = ::getrandom(bytes + have, sizeof bytes - have, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return HRESULT_FROM_WIN32(Win32ErrorFromErrno(errno));
    }
    have += static_cast<size_t>(n);
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  *guid = GuidFromTextOrder(bytes);
  return S_OK;
}

}  // namespace tavirelle
