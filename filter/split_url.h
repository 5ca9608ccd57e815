// Splits an absolute URL ("scheme://[user[:password]@]host[:port][path]") into host and path.
#pragma once

#include <string_view>

// Views of the text that was split.
struct SplitUrlResult {
    std::string_view host;  // as written, letter case kept, without port
    std::string_view path;  // from the first "/", "?" or "#" after the host; may be empty
};

// False, with both parts empty, for text that is not an absolute URL or has no host.
bool SplitUrl(std::string_view url, SplitUrlResult& parts);
