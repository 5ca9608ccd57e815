// What the pipeline decides a request on, gathered once from the ISAPI context and headers.
#pragma once

#include <string>
#include <string_view>

#include "platform/isapi.h"

class FilterConfig;

struct RequestFacts {
    // Buffer sizes in bytes, terminating NUL included; a longer value counts as absent.
    static constexpr DWORD kServerNameBuffer = 255;
    static constexpr DWORD kUrlBuffer = 2083;
    static constexpr DWORD kClientAddressBuffer = 64;  // room for any IPv6 address
    static constexpr DWORD kClientHostBuffer = 256;    // room for any DNS name
    static constexpr DWORD kReferrerBuffer = 2083;
    // A longer Referer is read again into a buffer of its size, up to this.
    static constexpr DWORD kLongestReferrer = 64 * 1024;
    static constexpr DWORD kUserAgentBuffer = 512;

    // Reads the request's values in a fixed order; stops after the URL when it is missing.
    static RequestFacts Build(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers,
                              const FilterConfig& config);

    // The type of the file the server maps the URL to: the path without its query, escapes
    // decoded, trailing dots and blanks dropped, lowercased, then the text after its last dot.
    // Empty when there is no dot or it ends the path.
    static std::string DeriveFileType(std::string_view url);
    // The URL's path as the server maps it to a file: the query cut, escapes decoded. The URL
    // lists judge this, so that neither a query nor an escaped spelling changes their verdict.
    static std::string MappedPath(std::string_view url);

    std::string serverName;
    std::string url;   // as sent; the log lines show it
    std::string path;  // MappedPath(url)
    std::string clientAddress;
    std::string clientHost;
    std::string referrerHost;
    std::string userAgent;
    std::string fileType;
    bool isExempt = false;
    std::string alternateUrl;
    bool urlMissing = false;

    // Not owned: the request's own ISAPI records.
    HTTP_FILTER_CONTEXT* context = nullptr;
    HTTP_FILTER_PREPROC_HEADERS* headers = nullptr;
};
