// The registrar scripts of the module: the AppID script, the script every
// class is registered with, and the entries of the type library. They use
// the replacement variables APPID, MODULE, MODULEDIR and LIBID, and the class
// script also CLASSNAME, DESCRIPTION and CLSID.
#ifndef TAVIRELLE_SHELL_REGISTRATION_SCRIPTS_H_
#define TAVIRELLE_SHELL_REGISTRATION_SCRIPTS_H_

namespace tavirelle {

extern const char kAppIdScript[];
extern const char kClassScript[];
extern const char kTypeLibraryScript[];

}  // namespace tavirelle

#endif  // TAVIRELLE_SHELL_REGISTRATION_SCRIPTS_H_
