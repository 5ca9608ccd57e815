// The host serving the sites of a metabase store, as IIS does: started from the store, and
// restarted from it on request (SIGHUP): the requests in flight finish, every filter module is
// unloaded, the store is read again and the modules are loaded anew. Listening addresses whose
// bindings did not change stay open across a restart.
#pragma once

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "site_directory.h"
#include "web_server.h"

class MetabaseHost {
  public:
    // `pidFile` (may be empty) gets the process id and the count of loads, rewritten after each.
    MetabaseHost(WebServer& server, std::filesystem::path store, std::filesystem::path pidFile,
                 std::FILE* out, std::FILE* errors);
    ~MetabaseHost();
    MetabaseHost(const MetabaseHost&) = delete;
    MetabaseHost& operator=(const MetabaseHost&) = delete;

    // Reads the store, loads the modules and listens; returns how many sites are served.
    std::size_t Restart();

  private:
    struct Listening {
        std::string address;
        unsigned short port = 0;  // as asked for (0: any free port)
        unsigned short bound = 0;
    };
    SiteDirectory::Table Load();
    void Problem(const std::string& text);

    WebServer& server_;
    std::filesystem::path store_;
    std::filesystem::path pidFile_;
    std::FILE* out_;
    std::FILE* errors_;
    SiteDirectory directory_;
    std::map<std::string, Listening> listening_;  // by "address:port" as asked for
    unsigned loads_ = 0;
    std::size_t served_ = 0;
};
