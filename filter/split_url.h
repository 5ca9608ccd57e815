// Splits an absolute URL ("scheme://[user[:password]@]host[:port][path]") into host and path.
#pragma once

#include <string>
#include <string_view>

struct SplitUrlResult {
    std::string host;  // as written, letter case kept, without port
    std::string path;  // from the first "/", "?" or "#" after the host; may be empty
};

// False, with both parts empty, for text that is not an absolute URL or has no host.
bool SplitUrl(std::string_view url, SplitUrlResult& parts);
