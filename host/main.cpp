// pixwall-host: serves sites over HTTP and runs each request through the sites' ISAPI filter
// modules, standing in for IIS.
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>

#include "filter_module.h"
#include "host_options.h"
#include "metabase/store_file.h"
#include "metabase_host.h"
#include "site.h"
#include "web_server.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::string error;
    bool help = false;
    const auto store = metabase::MetabaseFileFromEnvironment();
    const auto options =
        HostOptions::Parse(arguments, error, help, store ? store->string() : std::string());
    if (help) {
        std::fputs(HostOptions::Usage().c_str(), stdout);
        return 0;
    }
    if (!options) {
        std::fprintf(stderr, "pixwall-host: %s\n(pixwall-host --help explains the options)\n",
                     error.c_str());
        return 2;
    }

    if (!options->metabase.empty()) {
        try {
            WebServer server(options->threads, std::chrono::seconds(options->timeoutSeconds),
                             options->maxConnections);
            // A restart asked for as soon as the pid file exists, before Run listens for it,
            // must not end the host.
            std::signal(SIGHUP, SIG_IGN);
            MetabaseHost host(server, options->metabase, options->pidFile, stdout, stderr);
            if (host.Restart() == 0) return 1;
            server.OnHangup([&host] { host.Restart(); });
            server.Run(true);
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "pixwall-host: %s\n", failure.what());
            return 1;
        }
        return 0;
    }

    try {
        // A module named by several sites is loaded once, as IIS loads a global filter once.
        std::map<std::filesystem::path, std::shared_ptr<const FilterModule>> modules;
        std::vector<std::shared_ptr<const Site>> sites;
        for (const auto& siteOptions : options->sites) {
            std::error_code missing;
            if (!std::filesystem::is_directory(siteOptions.root, missing)) {
                std::fprintf(stderr, "pixwall-host: document root is no folder: %s\n",
                             siteOptions.root.c_str());
                return 2;
            }
            std::vector<std::shared_ptr<const FilterModule>> filters;
            for (const auto& file : siteOptions.filters) {
                const std::filesystem::path path =
                    std::filesystem::absolute(file).lexically_normal();
                auto& module = modules[path];
                if (!module) {
                    module = FilterModule::Load(path.string(), error);
                    if (!module) {
                        std::fprintf(stderr, "pixwall-host: %s\n", error.c_str());
                        return 1;
                    }
                }
                filters.push_back(module);
            }
            sites.push_back(std::make_shared<Site>(siteOptions.serverName, siteOptions.root,
                                                   std::move(filters)));
        }

        WebServer server(options->threads, std::chrono::seconds(options->timeoutSeconds),
                         options->maxConnections);
        for (const auto& site : sites) {
            const unsigned short port = server.AddSite(site, options->bindAddress,
                                                       options->sites[&site - sites.data()].port);
            std::string filters;
            for (const auto& filter : site->Filters()) {
                filters += " " + filter->Path() + " (\"" + filter->Description() + "\")";
            }
            std::printf("listening http://%s:%u/ %s%s%s\n", site->ServerName().c_str(), port,
                        site->Root().Path().c_str(),
                        filters.empty() ? "" : " filters:", filters.c_str());
        }
        std::fflush(stdout);
        server.Run(true);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "pixwall-host: %s\n", failure.what());
        return 1;
    }
    return 0;
}
