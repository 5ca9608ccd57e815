#include "metabase_host.h"

#include <unistd.h>

#include <boost/system/system_error.hpp>
#include <set>

#include "filter_module.h"
#include "metabase_sites.h"
#include "platform/locked_text_file.h"

namespace fs = std::filesystem;

MetabaseHost::MetabaseHost(WebServer& server, fs::path store, fs::path pidFile, std::FILE* out,
                           std::FILE* errors)
    : server_(server),
      store_(std::move(store)),
      pidFile_(std::move(pidFile)),
      out_(out),
      errors_(errors) {}

MetabaseHost::~MetabaseHost() {
    if (!pidFile_.empty()) {
        std::error_code ignored;
        fs::remove(pidFile_, ignored);
    }
}

void MetabaseHost::Problem(const std::string& text) {
    std::fprintf(errors_, "pixwall-host: %s\n", text.c_str());
    std::fflush(errors_);
}

std::size_t MetabaseHost::Restart() {
    directory_.Replace([this] { return Load(); });
    ++loads_;
    if (!pidFile_.empty() &&
        !platform::ReplaceFileAtomically(
            pidFile_, std::to_string(::getpid()) + "\n" + std::to_string(loads_) + "\n")) {
        Problem("cannot write the pid file " + pidFile_.string());
    }
    if (served_ == 0) Problem("no site to serve in " + store_.string());
    return served_;
}

SiteDirectory::Table MetabaseHost::Load() {
    const MetabaseSites read = MetabaseSites::Read(store_);
    for (const auto& problem : read.problems) Problem(problem);

    // A module named by several sites, or globally, is loaded once.
    std::map<fs::path, std::shared_ptr<const FilterModule>> modules;
    std::set<fs::path> failed;
    SiteDirectory::Table table;
    std::map<const Site*, std::string> filterTexts;
    served_ = 0;
    for (const auto& definition : read.sites) {
        const std::string name = definition.key + " (\"" + definition.description + "\")";
        std::error_code missing;
        if (!fs::is_directory(definition.root, missing)) {
            Problem(name + ": not served, its document root is no folder: " + definition.root);
            continue;
        }
        std::vector<std::shared_ptr<const FilterModule>> filters;
        std::string filterText;
        bool loaded = true;
        for (const auto& file : definition.filters) {
            const fs::path path = fs::absolute(file).lexically_normal();
            if (failed.contains(path)) {
                loaded = false;
                continue;
            }
            auto& module = modules[path];
            if (!module) {
                std::string error;
                module = FilterModule::Load(path.string(), error);
                if (!module) {
                    Problem(error);
                    failed.insert(path);
                    modules.erase(path);
                    loaded = false;
                    continue;
                }
            }
            filters.push_back(module);
            filterText += " " + module->Path() + " (\"" + module->Description() + "\")";
        }
        if (!loaded) {
            // Never served unprotected.
            Problem(name + ": not served, a filter module did not load");
            continue;
        }
        const auto& first = definition.bindings.front();
        const std::string serverName = !first.hostName.empty()  ? first.hostName
                                       : !first.address.empty() ? first.address
                                                                : "localhost";
        auto site = std::make_shared<const Site>(serverName, definition.root, std::move(filters));
        filterTexts[site.get()] = filterText;
        for (const auto& binding : definition.bindings) {
            const std::string address = binding.address.empty() ? "0.0.0.0" : binding.address;
            table[address + ":" + std::to_string(binding.port)].push_back({binding.hostName, site});
        }
        ++served_;
    }

    // Listeners stay where the bindings stay; the others close or open.
    for (auto it = listening_.begin(); it != listening_.end();) {
        if (table.contains(it->first)) {
            ++it;
            continue;
        }
        server_.StopListening(it->second.address, it->second.port);
        it = listening_.erase(it);
    }
    for (auto it = table.begin(); it != table.end();) {
        const std::string key = it->first;
        if (!listening_.contains(key)) {
            const auto colon = key.rfind(':');
            Listening listening{key.substr(0, colon),
                                static_cast<unsigned short>(std::stoul(key.substr(colon + 1))), 0};
            try {
                listening.bound = server_.Listen(
                    listening.address, listening.port,
                    [this, key](const Site::Request& request, const std::string& client) {
                        return directory_.Respond(key, request, client);
                    });
                listening_[key] = listening;
            } catch (const std::exception& failure) {
                Problem("cannot listen on " + key + ": " + failure.what());
                it = table.erase(it);
                continue;
            }
        }
        for (const auto& entry : it->second) {
            const std::string name =
                entry.hostName.empty() ? listening_[key].address : entry.hostName;
            std::fprintf(out_, "listening http://%s:%u/ %s%s%s\n", name.c_str(),
                         listening_[key].bound, entry.site->Root().Path().c_str(),
                         filterTexts[entry.site.get()].empty() ? "" : " filters:",
                         filterTexts[entry.site.get()].c_str());
        }
        ++it;
    }
    std::fflush(out_);
    return table;
}
