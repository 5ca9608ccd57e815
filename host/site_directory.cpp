#include "site_directory.h"

#include "text.h"

namespace {

// The Host header's name without its port ("[::1]:80" keeps its brackets).
std::string_view HostName(const Site::Request& request) {
    const auto found = request.find(boost::beast::http::field::host);
    if (found == request.end()) return {};
    std::string_view host(found->value().data(), found->value().size());
    const auto colon = host.rfind(':');
    if (colon != std::string_view::npos && host.find(']', colon) == std::string_view::npos) {
        host = host.substr(0, colon);
    }
    return host;
}

}  // namespace

Site::Reply SiteDirectory::Respond(const std::string& endpoint, const Site::Request& request,
                                   const std::string& clientAddress) {
    std::shared_ptr<const Site> site;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !replacing_; });
        const auto bound = table_.find(endpoint);
        if (bound != table_.end()) {
            const std::string_view host = HostName(request);
            for (const auto& entry : bound->second) {
                if (!entry.hostName.empty() && text::EqualsIgnoreCase(entry.hostName, host))
                    site = entry.site;
            }
            for (const auto& entry : bound->second) {
                if (!site && entry.hostName.empty()) site = entry.site;
            }
        }
        if (!site) return Site::BadRequest();
        ++inFlight_;
    }
    // The site is let go before the request counts as finished, so that a restart never finds
    // an old module still held.
    const auto leave = [&] {
        site.reset();
        std::lock_guard lock(mutex_);
        if (--inFlight_ == 0) changed_.notify_all();
    };
    try {
        Site::Reply reply = site->Respond(request, clientAddress);
        leave();
        return reply;
    } catch (...) {
        leave();
        throw;
    }
}

void SiteDirectory::Replace(const std::function<Table()>& make) {
    Table old;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !replacing_; });
        replacing_ = true;
        changed_.wait(lock, [this] { return inFlight_ == 0; });
        old.swap(table_);
    }
    old.clear();  // the last holders of the old sites: their modules unload here
    Table fresh;
    try {
        fresh = make();
    } catch (...) {
        std::lock_guard lock(mutex_);
        replacing_ = false;
        changed_.notify_all();
        throw;
    }
    std::lock_guard lock(mutex_);
    table_ = std::move(fresh);
    replacing_ = false;
    changed_.notify_all();
}
