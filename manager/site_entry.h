// One row of the site catalogue: the global level or one web site, with its installation state.
#pragma once

#include <string>

struct SiteEntry {
    std::string name;        // the server description, or the global label for the global entry
    bool installed = false;  // the filter is installed there
    friend bool operator==(const SiteEntry&, const SiteEntry&) = default;
};
