#include "storage/dynamic_module.h"

#include <dlfcn.h>

namespace qelt {

namespace {
std::string lastLoaderError() {
    const char* e = dlerror();
    return e != nullptr ? e : "";
}
}  // namespace

void* loadModule(const char* path, std::string& error) {
    dlerror();
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) error = lastLoaderError();
    return module;
}

int unloadModule(void* module, std::string& error) {
    dlerror();
    if (dlclose(module) == 0) return 0;
    error = lastLoaderError();
    return -1;
}

void* moduleSymbol(void* module, const char* name) {
    dlerror();
    return module != nullptr ? dlsym(module, name) : nullptr;
}

}  // namespace qelt
