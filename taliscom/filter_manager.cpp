#include "filter_manager.h"

#include <memory>
#include <new>

#include "primary_config.h"

namespace taliscom {
namespace {

MethodResult Failure(std::u16string text) { return {hr::kDispException, std::move(text)}; }

MethodResult NotFound(std::u16string_view description) {
    return Failure(u"Virtual server " + std::u16string(description) + u" not found");
}

// Names the place a refused change was meant for.
std::u16string Place(std::u16string_view description) {
    return description.empty() ? std::u16string(u"all virtual servers")
                               : u"virtual server " + std::u16string(description);
}

}  // namespace

FilterManager::FilterManager()
    : FilterManager(MetabaseConnection::PlatformConnector(), &FilterManager::ProbeLibrary) {}

FilterManager::FilterManager(MetabaseConnection::Connector connector, LibraryProbe probe)
    : connector_(std::move(connector)), probe_(std::move(probe)) {}

MethodResult FilterManager::AddWebFilter(std::u16string_view filterPath,
                                         std::u16string_view serverDescription) const {
    if (!probe_ || !probe_(filterPath)) {
        return Failure(std::u16string(filterPath) + u" not found or invalid dll");
    }
    // The name in the metabase is always the configured one, never the caller's.
    const std::u16string filterName =
        ReadPrimaryConfigValue(LocatePrimaryConfig(filterPath), u"settings", u"filtername");
    MetabaseConnection connection(connector_);
    if (const HResult result = connection.Connect(); Failed(result)) return {result, {}};
    std::u16string serverPath;
    const HResult found = connection.FindServerPath(serverDescription, serverPath);
    if (Failed(found)) return {found, {}};
    if (found != hr::kOk) return NotFound(serverDescription);
    // A refused change is reported: a success here would leave the administrator believing the
    // site protected.
    if (!connection.AddFilter(serverPath, filterName, filterPath)) {
        return Failure(u"The web filter could not be added to " + Place(serverDescription));
    }
    return {};
}

MethodResult FilterManager::RemoveWebFilter(std::u16string_view filterName,
                                            std::u16string_view serverDescription) const {
    MetabaseConnection connection(connector_);
    if (const HResult result = connection.Connect(); Failed(result)) return {result, {}};
    std::u16string serverPath;
    const HResult found = connection.FindServerPath(serverDescription, serverPath);
    if (Failed(found)) return {found, {}};
    if (found != hr::kOk) return NotFound(serverDescription);
    // RemoveFilter's answer tells neither way: it is false when there was nothing to remove and
    // true when a refused delete left other keys. A filter still there afterwards was refused.
    connection.RemoveFilter(serverPath, filterName);
    if (connection.IsFilterPresent(serverPath, filterName)) {
        return Failure(u"The web filter could not be removed from " + Place(serverDescription));
    }
    return {};
}

HResult FilterManager::GetVirtualServerList(std::vector<std::u16string>& serverList) const {
    serverList.clear();
    std::unique_ptr<MetabaseConnection> connection;
    try {
        connection = std::make_unique<MetabaseConnection>(connector_);
    } catch (const std::bad_alloc&) {
        return hr::kOutOfMemory;
    }
    if (auto list = connection->ListVirtualServers()) serverList = std::move(*list);
    return hr::kOk;
}

bool FilterManager::IsWebFilterInstalled(std::u16string_view filterName,
                                         std::u16string_view serverDescription) const {
    MetabaseConnection connection(connector_);
    return connection.IsFilterInstalled(filterName, serverDescription);
}

}  // namespace taliscom
