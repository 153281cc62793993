// How the module marks what it exports. The module is built with hidden
// visibility: only declarations marked TAVIRELLE_EXPORT leave it.
#ifndef TAVIRELLE_EXPORT_H_
#define TAVIRELLE_EXPORT_H_

#if defined(TAVIRELLE_BUILDING_MODULE)
#define TAVIRELLE_EXPORT __attribute__((visibility("default")))
#else
#define TAVIRELLE_EXPORT
#endif

#endif  // TAVIRELLE_EXPORT_H_
