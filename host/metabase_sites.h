// The web sites that a metabase store describes, read as IIS reads its metabase at start: each
// numeric key below /LM/W3SVC whose KeyType is IIsWebServer is a site, with its description
// (ServerComment), its bindings (ServerBindings, "address:port:host name"), its document root
// (the Path of its ROOT key) and its filters: the global ones (/LM/W3SVC/Filters), then its own
// (/LM/W3SVC/N/Filters), each list in FilterLoadOrder, every module once.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class MetabaseSites {
  public:
    struct Binding {
        std::string address;  // empty: every address of the machine
        unsigned short port = 0;
        std::string hostName;  // empty: any Host header
    };
    struct SiteDefinition {
        std::string key;  // "/LM/W3SVC/1", for messages
        std::string description;
        std::vector<Binding> bindings;
        std::string root;
        std::vector<std::string> filters;  // module files in load order, each once
    };

    // Reads the store's file under its shared lock. A broken piece gives a message naming its
    // place in `problems` and leaves out only what it spoils: a site that lacks bindings or a
    // root, or whose filter list cannot be read fully, is not listed (never served
    // unprotected).
    static MetabaseSites Read(const std::filesystem::path& file);
    // The same for the store's text, for a file already read.
    static MetabaseSites FromText(const std::string& content, const std::string& fileName);

    std::vector<SiteDefinition> sites;
    std::vector<std::string> problems;
};
