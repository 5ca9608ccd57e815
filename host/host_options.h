// The command line of pixwall-host: the sites to serve and how.
#pragma once

#include <optional>
#include <string>
#include <vector>

class HostOptions {
  public:
    struct SiteOptions {
        std::string root;                  // document root
        std::string serverName;            // used when a request names no host
        unsigned short port = 0;           // 0: any free port
        std::vector<std::string> filters;  // filter module files, in load order
    };

    // Absent with a message in `error` when the command line is wrong; `help` is set for --help.
    // Without --site and --metabase the sites come from the store `defaultMetabase` (the file
    // PIXWALL_METABASE names), when there is one.
    static std::optional<HostOptions> Parse(const std::vector<std::string>& arguments,
                                            std::string& error, bool& help,
                                            const std::string& defaultMetabase = {});
    static std::string Usage();

    std::vector<SiteOptions> sites;
    std::string metabase;  // the store to take the sites from, instead of `sites`
    std::string pidFile;   // with a store: default "<store>.pid"
    std::string bindAddress = "127.0.0.1";
    unsigned threads = 0;          // 0: one per processor, at least two
    unsigned timeoutSeconds = 30;  // for reading a request and writing a response
    // Client connections open at once; the default stays well below the usual limit of 1024
    // descriptors, which the modules' files and the listeners share.
    unsigned maxConnections = 512;
};
