// Creation of the show's automation objects, for the class objects of the
// module and for in-process hosts such as the tavirelle command.
#ifndef TAVIRELLE_AUTOMATION_SHOW_OBJECTS_H_
#define TAVIRELLE_AUTOMATION_SHOW_OBJECTS_H_

#include "com/com.h"

namespace tavirelle {

// Each creates a new object and returns its interface `riid` in *object.
HRESULT CreateClip(REFIID riid, void** object);
HRESULT CreatePhotoDesc(REFIID riid, void** object);
HRESULT CreateQXHelper(REFIID riid, void** object);

}  // namespace tavirelle

#endif  // TAVIRELLE_AUTOMATION_SHOW_OBJECTS_H_
