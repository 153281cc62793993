// The component-object types for the module's own code: the public COM types
// of tavirelle/com.h with the GUID helpers of the platform layer.
#ifndef TAVIRELLE_COM_COM_H_
#define TAVIRELLE_COM_COM_H_

#include "platform/guid.h"
#include "tavirelle/com.h"

#endif  // TAVIRELLE_COM_COM_H_
