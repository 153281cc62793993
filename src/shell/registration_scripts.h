// The registrar scripts of the module: the AppID script, one script per
// class, and the entries of the type library. They use the replacement
// variables APPID, MODULE, MODULEDIR and LIBID.
#ifndef TAVIRELLE_SHELL_REGISTRATION_SCRIPTS_H_
#define TAVIRELLE_SHELL_REGISTRATION_SCRIPTS_H_

extern const char kAppIdScript[];
extern const char kQXHelperScript[];
extern const char kPhotoDescScript[];
extern const char kClipScript[];
extern const char kQXFileIOScript[];
extern const char kTypeLibraryScript[];

#endif  // TAVIRELLE_SHELL_REGISTRATION_SCRIPTS_H_
