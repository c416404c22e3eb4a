// The caller-named module of an API context (storage plug-in or PKCS#11
// library): loading by path, looking up entry points by name, unloading.
#pragma once

#include <string>

namespace qelt {

// dlopen of `path` (symbols resolved now, kept local to the module); null on
// failure, with the loader's explanation in `error`.
void* loadModule(const char* path, std::string& error);
// 0 when the module was released, else -1 with the loader's explanation.
int unloadModule(void* module, std::string& error);
// The address of entry point `name`; null when the module does not export it.
void* moduleSymbol(void* module, const char* name);

}  // namespace qelt
