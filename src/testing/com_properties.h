// A property of an automation object, read through its getter as a host
// reads it; the getter must succeed.
#ifndef TAVIRELLE_TESTING_COM_PROPERTIES_H_
#define TAVIRELLE_TESTING_COM_PROPERTIES_H_

#include <gtest/gtest.h>

#include <string>

#include "com/bstr.h"
#include "tavirelle/types.h"

namespace tavirelle {

// A text property, in the code page.
template <class Object, class Interface>
std::string Text(Object* object, HRESULT (Interface::*getter)(BSTR*)) {
  ScopedBstr value;
  EXPECT_EQ((object->*getter)(value.Receive()), S_OK);
  return value.Ansi();
}

// A number property; -1 when the getter leaves it alone.
template <class Object, class Interface>
LONG Number(Object* object, HRESULT (Interface::*getter)(LONG*)) {
  LONG value = -1;
  EXPECT_EQ((object->*getter)(&value), S_OK);
  return value;
}

}  // namespace tavirelle

#endif  // TAVIRELLE_TESTING_COM_PROPERTIES_H_
