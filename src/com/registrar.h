// The registrar: runs the registration scripts that describe which keys and
// values a module registers, in their text syntax:
//
//   HKCR
//   {
//     NoRemove CLSID
//     {
//       ForceRemove {...} = s 'Description'
//       {
//         InprocServer32 = s '%MODULE%'
//         {
//           val ThreadingModel = s 'Apartment'
//         }
//       }
//     }
//   }
//
// A key may carry NoRemove (kept when unregistering), ForceRemove (deleted
// with all below it before it is written, and when unregistering) or Delete
// (deleted when registering). "= s 'text'" sets the key's default value,
// "val Name = s 'text'" a named value; "d 'number'" gives a number value.
// %NAME% is replaced by the value of a replacement variable, %% by %.
#ifndef TAVIRELLE_COM_REGISTRAR_H_
#define TAVIRELLE_COM_REGISTRAR_H_

#include <map>
#include <string>
#include <string_view>

#include "com/registry.h"
#include "tavirelle/types.h"

namespace tavirelle {

// A script that does not follow the syntax; nothing is written.
inline constexpr HRESULT kRegistrarSyntaxError = DISP_E_EXCEPTION;

class Registrar {
 public:
  explicit Registrar(Registry* registry) : registry_(registry) {}

  void AddReplacement(const std::string& name, const std::string& value);
  // Where the script's HKCR root goes (a full path such as
  // "HKEY_CURRENT_USER\Software\Classes"); by default the machine's classes.
  void set_classes_root(std::string path) { classes_root_ = std::move(path); }

  // Apply a script to the registry in memory (the caller saves it). The
  // whole script is parsed before anything changes.
  HRESULT Register(std::string_view script);
  HRESULT Unregister(std::string_view script);

 private:
  HRESULT Run(std::string_view script, bool do_register);

  Registry* registry_;
  std::map<std::string, std::string, RegistryNameLess> replacements_;
  std::string classes_root_ = "HKEY_LOCAL_MACHINE\\Software\\Classes";
};

}  // namespace tavirelle

#endif  // TAVIRELLE_COM_REGISTRAR_H_
