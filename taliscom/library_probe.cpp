#include "filter_manager.h"
#include "platform/shared_library.h"
#include "wide_text.h"

namespace taliscom {

bool FilterManager::ProbeLibrary(std::u16string_view path) {
    if (path.empty()) return false;
    return platform::SharedLibrary(text::ToNativePath(path)).Loaded();
}

}  // namespace taliscom
