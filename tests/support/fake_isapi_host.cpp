#include "fake_isapi_host.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#define SET_LAST_ERROR(code) SetLastError(code)
#else
#define SET_LAST_ERROR(code) ((void)0)
#endif

FakeRequest::FakeRequest() {
    context_.cbSize = sizeof context_;
    context_.Revision = 0x60000;
    context_.ServerContext = this;
    context_.GetServerVariable = &FakeRequest::GetServerVariable;
    context_.AddResponseHeaders = &FakeRequest::AddResponseHeaders;
    context_.ServerSupportFunction = &FakeRequest::ServerSupportFunction;
    headers_.GetHeader = &FakeRequest::GetHeader;
}

FakeRequest& FakeRequest::Server(std::string name) {
    return Variable("SERVER_NAME", std::move(name));
}
FakeRequest& FakeRequest::Url(std::string url) { return Header("url", std::move(url)); }
FakeRequest& FakeRequest::Client(std::string address, std::string host) {
    Variable("REMOTE_ADDR", std::move(address));
    return Variable("REMOTE_HOST", std::move(host));
}
FakeRequest& FakeRequest::Referrer(std::string referrer) {
    return Variable("HTTP_REFERER", std::move(referrer));
}
FakeRequest& FakeRequest::UserAgent(std::string agent) {
    return Header("User-Agent:", std::move(agent));
}
FakeRequest& FakeRequest::Cookie(std::string cookie) {
    return Header("Cookie:", std::move(cookie));
}
FakeRequest& FakeRequest::Variable(const std::string& name, std::string value) {
    Set(variables_, name, std::move(value));
    return *this;
}
FakeRequest& FakeRequest::Header(const std::string& name, std::string value) {
    Set(requestHeaders_, name, std::move(value));
    return *this;
}

void FakeRequest::Set(Values& values, const std::string& name, std::string value) {
    for (auto& [known, stored] : values) {
        if (known == name) {
            stored = std::move(value);
            return;
        }
    }
    values.emplace_back(name, std::move(value));
}

namespace {

// The first letters first: most stored names differ there, and a compare of the rest per
// stored name would cost the benchmarks about as much as the filter's own work.
bool SameName(const std::string& known, const char* name) {
    return known[0] == name[0] && std::strcmp(known.c_str(), name) == 0;
}

}  // namespace

// The ISAPI buffer contract: the value and its NUL when they fit; otherwise failure, the buffer
// untouched and the size needed reported.
BOOL FakeRequest::Copy(const Values& values, const char* name, LPVOID buffer, LPDWORD size) {
    const auto found = std::find_if(values.begin(), values.end(), [name](const auto& value) {
        return SameName(value.first, name);
    });
    if (found == values.end()) {
        SET_LAST_ERROR(ERROR_INVALID_INDEX);
        return FALSE;
    }
    const DWORD needed = static_cast<DWORD>(found->second.size() + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        SET_LAST_ERROR(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, found->second.c_str(), needed);
    *size = needed;
    return TRUE;
}

BOOL WINAPI FakeRequest::GetServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                           LPDWORD size) {
    auto* self = static_cast<FakeRequest*>(pfc->ServerContext);
    if (self->recordCalls_) self->variablesAsked_.emplace_back(name);
    return Copy(self->variables_, name, buffer, size);
}

BOOL WINAPI FakeRequest::GetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                   LPDWORD size) {
    auto* self = static_cast<FakeRequest*>(pfc->ServerContext);
    if (self->recordCalls_) self->variablesAsked_.emplace_back(name);
    return Copy(self->requestHeaders_, name, buffer, size);
}

BOOL WINAPI FakeRequest::AddResponseHeaders(HTTP_FILTER_CONTEXT* pfc, LPSTR headers, DWORD) {
    auto* self = static_cast<FakeRequest*>(pfc->ServerContext);
    if (!self->recordCalls_) return TRUE;
    self->addedHeaders_ += headers;
    self->pendingHeaders_ += headers;
    return TRUE;
}

BOOL WINAPI FakeRequest::ServerSupportFunction(HTTP_FILTER_CONTEXT* pfc, enum SF_REQ_TYPE request,
                                               PVOID data, ULONG_PTR ul1, ULONG_PTR) {
    auto* self = static_cast<FakeRequest*>(pfc->ServerContext);
    if (request != SF_REQ_SEND_RESPONSE_HEADER) return FALSE;
    if (!self->recordCalls_) return TRUE;
    SentResponse sent;
    sent.status = data ? static_cast<const char*>(data) : "";
    sent.extraHeaders = ul1 ? reinterpret_cast<const char*>(ul1) : "";
    sent.addedHeaders = self->pendingHeaders_;
    self->pendingHeaders_.clear();
    self->sent_.push_back(sent);
    return TRUE;
}
