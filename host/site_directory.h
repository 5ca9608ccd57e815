// Which site answers a request, for all listening addresses of the host, and the gate that lets
// a restart wait for the requests in flight: while the sites are replaced, new requests wait,
// and the old sites (with their filter modules) are gone before the new ones are made.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "site.h"

class SiteDirectory {
  public:
    struct Entry {
        std::string hostName;  // empty: any Host header
        std::shared_ptr<const Site> site;
    };
    // Listening address ("address:port" as bound) to the sites bound there.
    using Table = std::map<std::string, std::vector<Entry>>;

    // The reply from the site bound to `endpoint` for the request's Host (a site bound to that
    // host name, else one bound to any), or "400 Bad Request" when none is.
    Site::Reply Respond(const std::string& endpoint, const Site::Request& request,
                        const std::string& clientAddress);

    // Holds new requests, waits for those in flight, drops every site (unloading the modules
    // that no other site holds), then installs what `make` returns and lets requests go on.
    void Replace(const std::function<Table()>& make);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    unsigned inFlight_ = 0;
    bool replacing_ = false;
    Table table_;
};
