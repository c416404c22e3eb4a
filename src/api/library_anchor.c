/* The shared library is made of the internal archive linked whole; a target
   needs at least one source of its own, and this is it. */
int qelt_library_anchor_unused;
