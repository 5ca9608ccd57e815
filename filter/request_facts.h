// What the pipeline decides a request on. The values are read once, each into a buffer of its
// own inside the record, and are viewed from there: building the facts copies nothing to the
// heap. The record is neither copied nor moved, since the views look into it.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/isapi.h"

class FilterConfig;

class RequestFacts {
  public:
    // Buffer sizes in bytes, terminating NUL included; a longer value counts as absent.
    static constexpr DWORD kServerNameBuffer = 255;
    static constexpr DWORD kUrlBuffer = 2083;
    static constexpr DWORD kClientAddressBuffer = 64;  // room for any IPv6 address
    static constexpr DWORD kClientHostBuffer = 256;    // room for any DNS name
    static constexpr DWORD kReferrerBuffer = 2083;
    // A longer Referer is read again into a buffer of its size, up to this.
    static constexpr DWORD kLongestReferrer = 64 * 1024;
    static constexpr DWORD kUserAgentBuffer = 512;
    static constexpr DWORD kCookieBuffer = 4096;
    // Room for every Sec-Fetch-* value browsers send.
    static constexpr DWORD kFetchMetadataBuffer = 32;

    // The request's values as a server hands them over (the referrer whole).
    struct Values {
        std::string_view serverName = {};
        std::string_view url = {};
        std::string_view clientAddress = {};
        std::string_view clientHost = {};
        std::string_view referrer = {};
        std::string_view userAgent = {};
        std::string_view cookie = {};
        std::string_view secFetchSite = {};
        std::string_view secFetchMode = {};
        std::string_view secFetchDest = {};
    };

    // Reads the request's values in a fixed order; stops after the URL when it is missing. The
    // Cookie header is read only when the cookie can decide the request: the configuration uses
    // it and the request is protected; so are the Sec-Fetch-* headers the configuration uses.
    RequestFacts(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers,
                 const FilterConfig& config);
    // The same from values at hand, each taken as the server would have handed it over.
    RequestFacts(const Values& values, const FilterConfig& config);
    RequestFacts(const RequestFacts&) = delete;
    RequestFacts& operator=(const RequestFacts&) = delete;

    // The type of the file the server maps the URL to (ServedPath): that path with trailing dots
    // and blanks dropped, then the text after its last dot, lowercased. Empty when there is no
    // dot, it ends the path, or the server refuses the URL. `buffer` holds kUrlBuffer bytes and
    // the answer; the URL is cut to that size.
    static std::string_view DeriveFileType(std::string_view url, char* buffer);

    std::string_view serverName;
    std::string_view url;   // as sent; the log lines show it
    // ServedPath(url): the file the server serves, which the URL lists judge, so that neither a
    // query nor any other spelling changes their verdict. Empty for a bad request.
    std::string_view path;
    bool badRequest = false;  // the server refuses the URL (ServedPath has none)
    std::string_view clientAddress;
    std::string_view clientHost;
    std::string_view referrerHost;
    std::string_view userAgent;
    std::string_view fileType;
    std::string_view cookieHeader;  // empty when not read
    // Trimmed; read only for a protected request, and only those the configuration uses:
    // Sec-Fetch-Site with Fetch Metadata, Mode and Dest with links allowed. Empty otherwise.
    std::string_view secFetchSite;
    std::string_view secFetchMode;
    std::string_view secFetchDest;
    bool isProtected = false;  // the file type is a blocked type
    bool isExempt = false;
    std::string_view alternateUrl;  // views the configuration
    bool urlMissing = false;

  private:
    // The file type of a mapped path, lowercased into `buffer` (which may hold the path).
    static std::string_view FileTypeOf(std::string_view path, char* buffer);
    // Fetches the whole Referer into a buffer, the long one when it needs more than
    // kReferrerBuffer bytes (up to kLongestReferrer); gives that buffer and its size, or an empty
    // text when the server has none that fits.
    std::pair<const char*, DWORD> FetchReferrer(HTTP_FILTER_CONTEXT* context);
    // Keeps a referrer that does not fit its buffer, up to kLongestReferrer.
    std::string_view TakeReferrer(std::string_view referrer);
    // Fills the derived facts once the values are in their buffers.
    void Derive(const FilterConfig& config);
    // Fills the Sec-Fetch-* facts as described above; `read(header, field, buffer)` gives the
    // header's text in `buffer` (kFetchMetadataBuffer bytes), `field` naming it in Values.
    template <typename Read>
    void TakeFetchMetadata(const FilterConfig& config, Read read);

    char serverNameBuffer_[kServerNameBuffer];
    char urlBuffer_[kUrlBuffer];
    char clientAddressBuffer_[kClientAddressBuffer];
    char clientHostBuffer_[kClientHostBuffer];
    char referrerBuffer_[kReferrerBuffer];
    std::string longReferrer_;  // only for a Referer longer than its buffer
    char userAgentBuffer_[kUserAgentBuffer];
    char cookieBuffer_[kCookieBuffer];
    char secFetchSiteBuffer_[kFetchMetadataBuffer];
    char secFetchModeBuffer_[kFetchMetadataBuffer];
    char secFetchDestBuffer_[kFetchMetadataBuffer];
    char pathBuffer_[kUrlBuffer];
    char fileTypeBuffer_[kUrlBuffer];
};
