/* A loadable module that is not a storage plug-in: it exports none of the
   PKI_STORAGE_ entry points. */
__attribute__((visibility("default"))) int not_a_storage_plugin(void) { return 42; }
