// The HTTP cases every web server that runs filter modules must pass (the stand-in host and nginx
// with its module): each server's test program instantiates FilterServerTest with its own kind.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "temp_folder.h"

inline const std::string kGif = "GIF89a\x01\x00\x01\x00 picture of a cat";
inline const std::string kJpg = "\xFF\xD8\xFF\xE0 photo of a dog";
inline const std::string kStop = "GIF89a\x01\x00\x01\x00 hot-linking stop sign";
inline const std::string kPage = "<html><body><img src=\"/images/cat.gif\"></body></html>\n";
inline const std::string kSecret = "outside the document root\n";
inline const std::string kAlternate = "http://localhost/alternates/stop.gif";

// A running web server with one site, "localhost", on a loopback port.
class FilterServer {
  public:
    virtual ~FilterServer() = default;
    virtual unsigned short Port() const = 0;
    // Stops the server, which unloads the modules (they write their stop lines); the exit
    // status, 0 when the server ended cleanly.
    virtual int Stop() = 0;
};

// One kind of server, as the shared cases start it.
struct FilterServerKind {
    std::string name;
    std::string errorReason;  // the reason phrase of the server's own 500
    // Reads "\" in a target as "/", as the filter does; a server that does not refuses it.
    bool backslashSeparates = false;
    // Serves the document root with the module files in load order, in that many processes
    // where the server has processes.
    std::function<std::unique_ptr<FilterServer>(
        const std::string& root, const std::vector<std::string>& modules, int processes)>
        start;
};

// A site with the filter: gif and jpg protected, gif redirected to its alternate, jpg answered
// with 404, referrers containing "leech" black-listed, dynamic authorization with the cookie.
class FilterSiteTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void WriteModule(const std::string& name, const std::string& settings,
                     const std::string& blockedTypes, const std::string& referrerBlackList);
    std::vector<std::string> ModulePaths(const std::vector<std::string>& modules) const;
    std::vector<std::string> Log(const std::string& module = "filter") const;

    TempFolder folder;
};

class FilterServerTest : public FilterSiteTest,
                         public ::testing::WithParamInterface<FilterServerKind> {
  protected:
    std::unique_ptr<FilterServer> Start(const std::vector<std::string>& modules = {"filter"},
                                        int processes = 1);
    static std::string Host(const FilterServer& server) {
        return "localhost:" + std::to_string(server.Port());
    }
};

// Names the instantiated cases after the server kind.
std::string KindName(const ::testing::TestParamInfo<FilterServerKind>& info);

// Test names and messages show the kind by its name.
inline void PrintTo(const FilterServerKind& kind, std::ostream* out) { *out << kind.name; }
