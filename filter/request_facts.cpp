#include "request_facts.h"

#include <cstring>

#include "filter_config.h"
#include "split_url.h"
#include "text.h"

namespace {

static_assert(RequestFacts::kUrlBuffer >= RequestFacts::kReferrerBuffer &&
              RequestFacts::kUrlBuffer >= RequestFacts::kUserAgentBuffer &&
              RequestFacts::kUrlBuffer >= RequestFacts::kServerNameBuffer &&
              RequestFacts::kUrlBuffer >= RequestFacts::kClientHostBuffer);

// Text the call left in a buffer of `size` bytes; empty when it failed or did not fit.
template <typename Call>
std::string ReadValue(DWORD size, Call call, bool* ok = nullptr) {
    char buffer[RequestFacts::kUrlBuffer];  // the largest of the buffers
    // Empty before the call; a host that wrote no NUL still cannot run past the buffer.
    buffer[0] = '\0';
    buffer[size - 1] = '\0';
    DWORD length = size;
    const bool succeeded = call(buffer, &length) != FALSE;
    if (ok) *ok = succeeded;
    if (!succeeded) return {};
    return std::string(buffer, strnlen(buffer, size - 1));
}

std::string ServerVariable(HTTP_FILTER_CONTEXT* context, const char* name, DWORD size) {
    return ReadValue(size, [&](char* buffer, DWORD* length) {
        return context->GetServerVariable(context, const_cast<char*>(name), buffer, length);
    });
}

std::string Header(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers,
                   const char* name, DWORD size, bool* ok = nullptr) {
    return ReadValue(
        size,
        [&](char* buffer, DWORD* length) {
            return headers->GetHeader(context, const_cast<char*>(name), buffer, length);
        },
        ok);
}

}  // namespace

std::string RequestFacts::DeriveFileType(std::string_view url) {
    std::string path;
    const std::string_view raw = url.substr(0, url.find('?'));
    path.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (const auto byte = text::DecodeEscapeAt(raw, i)) {
            path.push_back(*byte);
            i += 2;
        } else {
            path.push_back(raw[i]);
        }
    }
    // The server ignores trailing dots and blanks of a file name.
    while (!path.empty() && (path.back() == '.' || path.back() == ' ')) path.pop_back();
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || dot + 1 == path.size()) return {};
    return text::ToLower(std::string_view(path).substr(dot + 1));
}

RequestFacts RequestFacts::Build(HTTP_FILTER_CONTEXT* context, HTTP_FILTER_PREPROC_HEADERS* headers,
                                 const FilterConfig& config) {
    RequestFacts facts;
    facts.context = context;
    facts.headers = headers;
    facts.serverName = ServerVariable(context, "SERVER_NAME", kServerNameBuffer);
    bool urlRead = false;
    facts.url = Header(context, headers, "url", kUrlBuffer, &urlRead);
    if (!urlRead || facts.url.empty()) {
        facts.url.clear();
        facts.urlMissing = true;
        return facts;
    }
    facts.clientAddress = ServerVariable(context, "REMOTE_ADDR", kClientAddressBuffer);
    facts.clientHost = ServerVariable(context, "REMOTE_HOST", kClientHostBuffer);
    const std::string referrer = ServerVariable(context, "HTTP_REFERER", kReferrerBuffer);
    facts.userAgent = Header(context, headers, "User-Agent:", kUserAgentBuffer);

    SplitUrlResult referrerParts;
    if (SplitUrl(referrer, referrerParts)) facts.referrerHost = std::move(referrerParts.host);
    facts.fileType = DeriveFileType(facts.url);
    facts.isExempt = config.IsExemptRequest(facts);
    if (!facts.isExempt) facts.alternateUrl = config.LookupAlternate(facts.fileType);
    return facts;
}
