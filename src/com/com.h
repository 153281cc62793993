// The component-object runtime's internal helpers over the public types of
// tavirelle/com.h.
#ifndef TAVIRELLE_COM_COM_H_
#define TAVIRELLE_COM_COM_H_

#include "platform/guid.h"
#include "tavirelle/com.h"

namespace tavirelle {

// Releases an interface pointer and clears it.
template <typename T>
void SafeRelease(T*& p) {
  if (p != nullptr) {
    p->Release();
    p = nullptr;
  }
}

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_COM_H_
