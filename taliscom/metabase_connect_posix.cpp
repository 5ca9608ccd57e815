// Where there is no IIS, the metabase is the stand-in store that PIXWALL_METABASE names. When the
// variable is unset the metabase cannot be reached, as on a Windows machine without IIS.
#include "metabase_connection.h"
#include "metabase_store.h"
#include "metabase/store_file.h"

namespace taliscom {

MetabaseConnection::Connector MetabaseConnection::PlatformConnector() {
    return [](std::unique_ptr<AdminBase>& metabase) -> HResult {
        const auto file = metabase::MetabaseFileFromEnvironment();
        if (!file) return hr::kClassNotRegistered;
        metabase = std::make_unique<MetabaseStore>(*file);
        return hr::kOk;
    };
}

}  // namespace taliscom
