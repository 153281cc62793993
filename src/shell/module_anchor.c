/* The module's sources live in the subsystem libraries linked into it whole;
   a shared library still needs one source file of its own. */
int tavirelle_module_anchor;
