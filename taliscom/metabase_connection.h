// The component's per-call connection to the IIS metabase: listing sites, finding a site's path,
// installing, removing and looking up a filter. All text is UTF-16; an absent description is passed
// as an empty one.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "admin_base.h"
#include "hresult.h"

namespace taliscom {

class MetabaseConnection {
  public:
    // Obtains the metabase interface: S_OK and the object, or the failure code.
    using Connector = std::function<HResult(std::unique_ptr<AdminBase>&)>;

    // On Windows the IIS Admin Base Object through COM (CoGetClassObject with class context 21,
    // then CreateInstance for IMSAdminBaseW); elsewhere the stand-in store named by
    // PIXWALL_METABASE (REGDB_E_CLASSNOTREG when the variable is unset).
    static Connector PlatformConnector();

    MetabaseConnection();
    explicit MetabaseConnection(Connector connector);
    ~MetabaseConnection();
    MetabaseConnection(const MetabaseConnection&) = delete;
    MetabaseConnection& operator=(const MetabaseConnection&) = delete;

    HResult Connect();
    // The descriptions of the virtual servers in enumeration order; nothing when Connect fails.
    std::optional<std::vector<std::u16string>> ListVirtualServers();
    // 0 and the server path; 1 and an empty path when no virtual server has the description; a
    // negative code on a metabase failure. An empty description names "/lm/w3svc".
    HResult FindServerPath(std::u16string_view description, std::u16string& serverPath);
    std::u16string ReadFilterLoadOrder(std::u16string_view serverPath);
    // The load order, empty when the node or the property is absent; nothing when it is there but
    // could not be read (busy, denied), which a caller that rewrites the order must not take for
    // empty.
    std::optional<std::u16string> TryReadFilterLoadOrder(std::u16string_view serverPath);
    HResult WriteFilterLoadOrder(std::u16string_view serverPath, std::u16string_view text);
    // Whole load-order entries compared without regard to the case of A-Z (not a substring test,
    // so that pixwall2 installed does not make pixwall count as installed).
    bool IsFilterInstalled(std::u16string_view filterName, std::u16string_view description);
    // An empty filter name is refused (false) and changes nothing.
    bool RemoveFilter(std::u16string_view serverPath, std::u16string_view filterName);
    bool AddFilterKeys(std::u16string_view serverPath, std::u16string_view filterName,
                       std::u16string_view filterPath);
    bool AddFilter(std::u16string_view serverPath, std::u16string_view filterName,
                   std::u16string_view filterPath);
    // Whether the filter's key exists below the Filters node of the server path or the load
    // order has an entry equal to the name; true when that cannot be told. Used to tell a
    // refused removal from the removal of a filter that was not installed.
    bool IsFilterPresent(std::u16string_view serverPath, std::u16string_view filterName);

    static std::u16string FiltersNode(std::u16string_view serverPath);

  private:
    // Reads a string property of the open key, growing from a 64-byte buffer.
    HResult ReadString(MetadataHandle key, std::uint32_t identifier, std::u16string& value);
    HResult WriteString(MetadataHandle key, std::uint32_t identifier, std::u16string_view value);
    HResult WriteDword(MetadataHandle key, std::uint32_t identifier, std::uint32_t value);
    HResult Open(std::u16string_view path, std::uint32_t access, MetadataHandle& key);
    // Enumerates the numeric children of "/lm/w3svc", calling visit(n) for each until it
    // returns false or the enumeration ends.
    void ForEachServer(const std::function<bool(const std::u16string&)>& visit);

    Connector connector_;
    std::unique_ptr<AdminBase> metabase_;
};

}  // namespace taliscom
