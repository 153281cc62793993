// Everything a host of the TavirelleHelper module needs: the component-object
// types and functions, the type-information interface, the show's automation
// interfaces with their identifiers, the module's entry points and host
// runtime, and ComPtr.
#ifndef TAVIRELLE_TAVIRELLE_H_
#define TAVIRELLE_TAVIRELLE_H_

#include "tavirelle/automation.h"
#include "tavirelle/com.h"
#include "tavirelle/com_ptr.h"
#include "tavirelle/interfaces.h"
#include "tavirelle/module.h"
#include "tavirelle/type_info.h"
#include "tavirelle/types.h"

#endif  // TAVIRELLE_TAVIRELLE_H_
