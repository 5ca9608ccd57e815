// What the methods of IFilterManager do, free of COM: each call makes its own
// MetabaseConnection, and a failure that carries a message gives its text, which the COM layer
// turns into rich error information and DISP_E_EXCEPTION.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "hresult.h"
#include "metabase_connection.h"

namespace taliscom {

struct MethodResult {
    HResult code = hr::kOk;
    // Non-empty for a failure with a message; then code is DISP_E_EXCEPTION.
    std::u16string errorText;
};

class FilterManager {
  public:
    // Whether the file can be loaded as a shared library (it is unloaded again at once).
    using LibraryProbe = std::function<bool(std::u16string_view path)>;

    FilterManager();
    FilterManager(MetabaseConnection::Connector connector, LibraryProbe probe);

    // Texts are passed as the caller gave them; an absent (null) string arrives empty.
    MethodResult AddWebFilter(std::u16string_view filterPath,
                              std::u16string_view serverDescription) const;
    MethodResult RemoveWebFilter(std::u16string_view filterName,
                                 std::u16string_view serverDescription) const;
    // S_OK with the descriptions (none when the metabase cannot be reached), or E_OUTOFMEMORY.
    HResult GetVirtualServerList(std::vector<std::u16string>& serverList) const;
    // Never fails: an unreachable metabase or an unknown description reads as not installed.
    bool IsWebFilterInstalled(std::u16string_view filterName,
                              std::u16string_view serverDescription) const;

    static bool ProbeLibrary(std::u16string_view path);

  private:
    MetabaseConnection::Connector connector_;
    LibraryProbe probe_;
};

}  // namespace taliscom
