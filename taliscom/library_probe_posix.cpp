#include <dlfcn.h>

#include "filter_manager.h"
#include "wide_text.h"

namespace taliscom {

bool FilterManager::ProbeLibrary(std::u16string_view path) {
    if (path.empty()) return false;
    void* library = ::dlopen(ToNarrow(path).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return false;
    ::dlclose(library);
    return true;
}

}  // namespace taliscom
