#include "host_options.h"

#include <charconv>

namespace {

std::optional<unsigned long> ParseNumber(const std::string& value, unsigned long max) {
    unsigned long number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end != value.data() + value.size() || number > max) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::string HostOptions::Usage() {
    return R"(Usage: pixwall-host [--threads N] [--timeout SECONDS] [--max-connections N]
                   [--metabase FILE] [--pid-file FILE]
       pixwall-host [--bind ADDRESS] [--threads N] [--timeout SECONDS] [--max-connections N]
                    --site ROOT --name NAME --port PORT [--filter MODULE]... [--site ...]

The first form serves the web sites of a metabase store (default: the file PIXWALL_METABASE
names) as IIS does: each site's bindings, document root and filters (the global ones, then
the site's). SIGHUP restarts: the requests in flight finish, every filter module is unloaded,
the store is read again and the modules loaded anew. The second form takes the sites from
the command line.

Serves each site's document root over HTTP/1.1 and runs every request through the site's
ISAPI filter modules, as IIS does: each module is loaded once, GetFilterVersion is called,
then HttpFilterProc with SF_NOTIFY_PREPROC_HEADERS for every request.

Options:
  --site ROOT        start a site serving the files below the folder ROOT; the options
                     that follow, up to the next --site, describe it
  --name NAME        the site's server name (SERVER_NAME when a request sends no Host)
  --port PORT        the site's port; 0 takes a free one (each listening address is printed)
  --filter MODULE    a filter module file (pixwall.so) for the site; repeat for several,
                     in load order. Its settings and rule lists lie in the module's folder
  --metabase FILE    the metabase store to take the sites from
  --pid-file FILE    with a store: where the process id and the count of loads are kept, for
                     scripts/iisreset (default: the store's file name with ".pid" added)
  --bind ADDRESS     the address to listen on for every site (default 127.0.0.1)
  --threads N        request threads (default: one per processor, at least 2)
  --timeout SECONDS  time a client has to send a request or take a response (default 30)
  --max-connections N
                     client connections open at once (default 512); beyond it a new one
                     takes the place of the longest idle keep-alive one, else it waits
                     (up to the time-out) for one to close
  --help             show this text

Once listening, prints one line per site: "listening http://NAME:PORT/ ROOT". Stops on
SIGINT or SIGTERM, unloading the filter modules.
)";
}

std::optional<HostOptions> HostOptions::Parse(const std::vector<std::string>& arguments,
                                              std::string& error, bool& help,
                                              const std::string& defaultMetabase) {
    HostOptions options;
    help = false;
    std::vector<bool> hasPort;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            help = true;
            return options;
        }
        if (i + 1 >= arguments.size()) {
            error = option.starts_with("--") ? option + " needs a value"
                                             : "unexpected argument: " + option;
            return std::nullopt;
        }
        const std::string& value = arguments[++i];
        if (option == "--site") {
            options.sites.push_back({value, "", 0, {}});
            hasPort.push_back(false);
            continue;
        }
        if (option == "--bind") {
            options.bindAddress = value;
        } else if (option == "--metabase") {
            options.metabase = value;
        } else if (option == "--pid-file") {
            options.pidFile = value;
        } else if (option == "--threads") {
            const auto number = ParseNumber(value, 256);
            if (!number || *number == 0) {
                error = "--threads wants a number from 1 to 256: " + value;
                return std::nullopt;
            }
            options.threads = static_cast<unsigned>(*number);
        } else if (option == "--timeout") {
            const auto number = ParseNumber(value, 3600);
            if (!number || *number == 0) {
                error = "--timeout wants seconds from 1 to 3600: " + value;
                return std::nullopt;
            }
            options.timeoutSeconds = static_cast<unsigned>(*number);
        } else if (option == "--max-connections") {
            const auto number = ParseNumber(value, 65536);
            if (!number || *number == 0) {
                error = "--max-connections wants a number from 1 to 65536: " + value;
                return std::nullopt;
            }
            options.maxConnections = static_cast<unsigned>(*number);
        } else if (option == "--name" || option == "--port" || option == "--filter") {
            if (options.sites.empty()) {
                error = option + " must follow a --site";
                return std::nullopt;
            }
            SiteOptions& site = options.sites.back();
            if (option == "--name") {
                site.serverName = value;
            } else if (option == "--filter") {
                site.filters.push_back(value);
            } else {
                const auto number = ParseNumber(value, 65535);
                if (!number) {
                    error = "--port wants a number from 0 to 65535: " + value;
                    return std::nullopt;
                }
                site.port = static_cast<unsigned short>(*number);
                hasPort.back() = true;
            }
        } else {
            error = "unknown option: " + option;
            return std::nullopt;
        }
    }
    if (!options.metabase.empty() && !options.sites.empty()) {
        error = "--metabase and --site exclude each other";
        return std::nullopt;
    }
    if (options.sites.empty() && options.metabase.empty()) options.metabase = defaultMetabase;
    if (options.sites.empty() && options.metabase.empty()) {
        error =
            "no site given (--site ROOT --name NAME --port PORT, or --metabase FILE, or "
            "PIXWALL_METABASE naming the store)";
        return std::nullopt;
    }
    if (!options.metabase.empty() && options.pidFile.empty()) {
        options.pidFile = options.metabase + ".pid";
    }
    for (std::size_t i = 0; i < options.sites.size(); ++i) {
        const SiteOptions& site = options.sites[i];
        if (site.root.empty() || site.serverName.empty() || !hasPort[i]) {
            error = "site " + std::to_string(i + 1) + " needs a root, a --name and a --port";
            return std::nullopt;
        }
    }
    return options;
}
