// One HTTP request as a web server hands it to the filter adapter: views of the values the server
// parsed, valid for as long as the request is being filtered. Each server fills it from its own
// request type, so the adapter knows no server's types.
#pragma once

#include <span>
#include <string_view>

struct RequestView {
    struct Field {
        std::string_view name;
        std::string_view value;
    };

    std::string_view method;
    std::string_view target;        // as on the request line: path and query, undecoded
    bool http10 = false;            // HTTP/1.0; everything else is answered as HTTP/1.1
    std::span<const Field> fields;  // in the order received
    std::string_view clientAddress;
    std::string_view defaultServerName;  // SERVER_NAME when the request names no host
};
