#include "request_facts.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "filter_config.h"
#include "split_url.h"
#include "text.h"
#include "url_path.h"

namespace {

// Calls `call` to fill a buffer of `size` bytes; false, and the buffer empty, when it failed or
// did not fit. The text is measured later (Text): a scan right after the server's copy would wait
// for that copy's stores to reach the cache, since it reads them in wider pieces than they were
// written in; measured once the other values have been fetched, it reads them from the cache.
template <typename Call>
bool Fetch(char* buffer, DWORD size, Call call) {
    // Empty before the call; a host that wrote no NUL still cannot run past the buffer.
    buffer[0] = '\0';
    buffer[size - 1] = '\0';
    DWORD length = size;
    if (call(buffer, &length) != FALSE) return true;
    buffer[0] = '\0';
    return false;
}

// The text a fetched buffer holds: up to its first NUL. Sixteen bytes at a time, all inside the
// buffer: for values this short a library call costs more than the search.
std::string_view Text(const char* buffer, DWORD size) {
    const std::size_t limit = size - 1;  // Fetch keeps a NUL there
    std::size_t length = 0;
#ifdef __SSE2__
    const __m128i nul = _mm_setzero_si128();
    for (; limit - length >= 16; length += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buffer + length));
        if (const unsigned found = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, nul))) {
            return std::string_view(buffer, length + __builtin_ctz(found));
        }
    }
#endif
    while (length < limit && buffer[length] != '\0') ++length;
    return std::string_view(buffer, length);
}

bool FetchServerVariable(HTTP_FILTER_CONTEXT* context, const char* name, char* buffer, DWORD size) {
    return Fetch(buffer, size, [&](char* into, DWORD* length) {
        return context->GetServerVariable(context, const_cast<char*>(name), into, length);
    });
}

bool FetchHeader(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers,
                 const char* name, char* buffer, DWORD size) {
    return Fetch(buffer, size, [&](char* into, DWORD* length) {
        return headers->GetHeader(context, const_cast<char*>(name), into, length);
    });
}

// The value as a server would hand it over in a buffer of `size` bytes: up to its first NUL,
// and empty when it does not fit.
std::string_view Take(std::string_view value, char* buffer, DWORD size) {
    value = value.substr(0, value.find('\0'));
    if (value.size() >= size) value = {};
    if (!value.empty()) std::memcpy(buffer, value.data(), value.size());
    buffer[value.size()] = '\0';
    return std::string_view(buffer, value.size());
}

}  // namespace

std::string_view RequestFacts::FileTypeOf(std::string_view path, char* buffer) {
    // The server ignores trailing dots and blanks of a file name.
    while (!path.empty() && (path.back() == '.' || path.back() == ' ')) path.remove_suffix(1);
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || dot + 1 == path.size()) return {};
    const std::string_view type = path.substr(dot + 1);
    // Forwards: when `buffer` holds the path, each byte is read before it is overwritten.
    for (std::size_t i = 0; i < type.size(); ++i) buffer[i] = text::ToLower(type[i]);
    return std::string_view(buffer, type.size());
}

std::string_view RequestFacts::DeriveFileType(std::string_view url, char* buffer) {
    url = url.substr(0, kUrlBuffer);
    const auto path = ServedPath(url, buffer);
    return path ? FileTypeOf(*path, buffer) : std::string_view();
}

std::pair<const char*, DWORD> RequestFacts::FetchReferrer(HTTP_FILTER_CONTEXT* context) {
    char* name = const_cast<char*>("HTTP_REFERER");
    const std::pair<const char*, DWORD> none{"", 1};
    referrerBuffer_[0] = '\0';
    referrerBuffer_[kReferrerBuffer - 1] = '\0';
    DWORD size = kReferrerBuffer;
    if (context->GetServerVariable(context, name, referrerBuffer_, &size)) {
        return {referrerBuffer_, kReferrerBuffer};
    }
    // A long page URL must not hide its host from the black list: read it again at its size.
    if (size <= kReferrerBuffer || size > kLongestReferrer) return none;
    longReferrer_.assign(size, '\0');
    DWORD length = size;
    if (!context->GetServerVariable(context, name, longReferrer_.data(), &length)) return none;
    return {longReferrer_.data(), size};
}

std::string_view RequestFacts::TakeReferrer(std::string_view referrer) {
    referrer = referrer.substr(0, referrer.find('\0'));
    if (referrer.size() < kReferrerBuffer || referrer.size() >= kLongestReferrer) {
        return Take(referrer, referrerBuffer_, kReferrerBuffer);
    }
    longReferrer_.assign(referrer);
    return longReferrer_;
}

template <typename Read>
void RequestFacts::TakeFetchMetadata(const FilterConfig& config, Read read) {
    if (!isProtected || isExempt) return;
    if (config.fetchMetadata()) {
        secFetchSite =
            text::Trim(read("Sec-Fetch-Site:", &Values::secFetchSite, secFetchSiteBuffer_));
    }
    if (config.allowLinks()) {
        secFetchMode =
            text::Trim(read("Sec-Fetch-Mode:", &Values::secFetchMode, secFetchModeBuffer_));
        secFetchDest =
            text::Trim(read("Sec-Fetch-Dest:", &Values::secFetchDest, secFetchDestBuffer_));
    }
}

RequestFacts::RequestFacts(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers,
                           const FilterConfig& config) {
    FetchServerVariable(context, "SERVER_NAME", serverNameBuffer_, kServerNameBuffer);
    const bool urlRead = FetchHeader(context, headers, "url", urlBuffer_, kUrlBuffer);
    url = Text(urlBuffer_, kUrlBuffer);
    if (!urlRead || url.empty()) {
        serverName = Text(serverNameBuffer_, kServerNameBuffer);
        url = {};
        urlMissing = true;
        return;
    }
    FetchServerVariable(context, "REMOTE_ADDR", clientAddressBuffer_, kClientAddressBuffer);
    FetchServerVariable(context, "REMOTE_HOST", clientHostBuffer_, kClientHostBuffer);
    const auto [referrer, referrerSize] = FetchReferrer(context);
    FetchHeader(context, headers, "User-Agent:", userAgentBuffer_, kUserAgentBuffer);
    serverName = Text(serverNameBuffer_, kServerNameBuffer);
    clientAddress = Text(clientAddressBuffer_, kClientAddressBuffer);
    clientHost = Text(clientHostBuffer_, kClientHostBuffer);
    referrerHost = Text(referrer, referrerSize);
    userAgent = Text(userAgentBuffer_, kUserAgentBuffer);
    Derive(config);
    if (config.useCookie() && isProtected && !isExempt) {
        FetchHeader(context, headers, "Cookie:", cookieBuffer_, kCookieBuffer);
        cookieHeader = Text(cookieBuffer_, kCookieBuffer);
    }
    TakeFetchMetadata(config, [&](const char* header, auto, char* buffer) {
        FetchHeader(context, headers, header, buffer, kFetchMetadataBuffer);
        return Text(buffer, kFetchMetadataBuffer);
    });
}

RequestFacts::RequestFacts(const Values& values, const FilterConfig& config) {
    serverName = Take(values.serverName, serverNameBuffer_, kServerNameBuffer);
    url = Take(values.url, urlBuffer_, kUrlBuffer);
    if (url.empty()) {
        urlMissing = true;
        return;
    }
    clientAddress = Take(values.clientAddress, clientAddressBuffer_, kClientAddressBuffer);
    clientHost = Take(values.clientHost, clientHostBuffer_, kClientHostBuffer);
    referrerHost = TakeReferrer(values.referrer);
    userAgent = Take(values.userAgent, userAgentBuffer_, kUserAgentBuffer);
    Derive(config);
    if (config.useCookie() && isProtected && !isExempt) {
        cookieHeader = Take(values.cookie, cookieBuffer_, kCookieBuffer);
    }
    TakeFetchMetadata(config, [&](const char*, std::string_view Values::*field, char* buffer) {
        return Take(values.*field, buffer, kFetchMetadataBuffer);
    });
}

void RequestFacts::Derive(const FilterConfig& config) {
    // referrerHost holds the whole referrer until here; only its host part is kept.
    SplitUrlResult referrerParts;
    referrerHost = SplitUrl(referrerHost, referrerParts) ? referrerParts.host : std::string_view();
    const auto served = ServedPath(url, pathBuffer_);
    badRequest = !served;
    path = served.value_or(std::string_view());
    fileType = FileTypeOf(path, fileTypeBuffer_);
    isProtected = config.IsBlockedType(fileType);
    isExempt = isProtected && config.IsAlternateResource(serverName, url);
    if (!isExempt) alternateUrl = config.LookupAlternate(fileType);
}
