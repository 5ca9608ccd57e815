#include "filter_request.h"

#include <algorithm>
#include <cstring>

#include "text.h"

namespace {

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
        case '-': case '.': case '^': case '_': case '`': case '|': case '~':
            return true;
        default:
            return false;
    }
}

bool IsFieldValueText(std::string_view value) {
    return std::none_of(value.begin(), value.end(), text::IsControlByte);
}

// "HTTP_USER_AGENT" names the header "User-Agent".
bool VariableNamesHeader(std::string_view variable, std::string_view header) {
    if (variable.size() != header.size()) return false;
    for (std::size_t i = 0; i < header.size(); ++i) {
        char c = text::ToLower(header[i]);
        if (c == '-') c = '_';
        if (text::ToLower(variable[i]) != c) return false;
    }
    return true;
}

}  // namespace

// A field sent once is viewed where it lies; only repeated fields are joined, into joined_.
template <typename Matches>
std::optional<std::string_view> FilterRequest::JoinedFields(Matches matches) const {
    const RequestView::Field* first = nullptr;
    bool joined = false;
    for (const RequestView::Field& field : request_.fields) {
        if (!matches(field.name)) continue;
        if (first == nullptr) {
            first = &field;
            continue;
        }
        if (!joined) {
            joined_.assign(first->value);
            joined = true;
        }
        joined_ += text::EqualsIgnoreCase(field.name, "Cookie") ? "; " : ", ";
        joined_ += field.value;
    }
    if (first == nullptr) return std::nullopt;
    if (joined) return std::string_view(joined_);
    return first->value;
}

FilterRequest::FilterRequest(const RequestView& request) : request_(request) {
    context_.cbSize = sizeof context_;
    context_.Revision = 0x60000;
    context_.ServerContext = this;
    context_.fIsSecurePort = FALSE;
    context_.GetServerVariable = &FilterRequest::GetServerVariableCallback;
    context_.AddResponseHeaders = &FilterRequest::AddResponseHeadersCallback;
    context_.WriteClient = &FilterRequest::WriteClientCallback;
    context_.AllocMem = &FilterRequest::AllocMemCallback;
    context_.ServerSupportFunction = &FilterRequest::ServerSupportFunctionCallback;
    headers_.GetHeader = &FilterRequest::GetHeaderCallback;
    headers_.SetHeader = &FilterRequest::SetHeaderCallback;
    headers_.AddHeader = &FilterRequest::SetHeaderCallback;
}

HTTP_FILTER_CONTEXT* FilterRequest::Context() {
    context_.pFilterContext = nullptr;
    return &context_;
}

std::optional<std::string_view> FilterRequest::ServerVariable(std::string_view name) const {
    if (text::EqualsIgnoreCase(name, "SERVER_NAME")) {
        std::string_view value;
        for (const RequestView::Field& field : request_.fields) {
            if (text::EqualsIgnoreCase(field.name, "Host")) {
                value = field.value;
                break;
            }
        }
        if (value.empty()) return request_.defaultServerName;
        // The name without its port; an IPv6 literal keeps its brackets.
        const std::size_t close = value.rfind(']');
        const std::size_t colon = value.rfind(':');
        if (colon != std::string_view::npos && (close == std::string_view::npos || colon > close)) {
            return value.substr(0, colon);
        }
        return value;
    }
    // No reverse lookup: the host name is the address, as IIS gives it by default.
    if (text::EqualsIgnoreCase(name, "REMOTE_ADDR") ||
        text::EqualsIgnoreCase(name, "REMOTE_HOST")) {
        return request_.clientAddress;
    }
    if (text::EqualsIgnoreCase(name, "REQUEST_METHOD")) return request_.method;
    if (text::EqualsIgnoreCase(name, "SERVER_PROTOCOL")) {
        return std::string_view(request_.http10 ? "HTTP/1.0" : "HTTP/1.1");
    }
    const std::string_view target = request_.target;
    const std::size_t query = target.find('?');
    if (text::EqualsIgnoreCase(name, "URL")) return target.substr(0, query);
    if (text::EqualsIgnoreCase(name, "QUERY_STRING")) {
        return query == std::string_view::npos ? std::string_view() : target.substr(query + 1);
    }
    if (name.size() > 5 && text::EqualsIgnoreCase(name.substr(0, 5), "HTTP_")) {
        const std::string_view wanted = name.substr(5);
        return JoinedFields([wanted](std::string_view field) {
            return VariableNamesHeader(wanted, field);
        });
    }
    return std::nullopt;
}

std::optional<std::string_view> FilterRequest::Header(std::string_view name) const {
    if (name == "url") return request_.target;
    if (name == "method") return request_.method;
    if (name == "version") return std::string_view(request_.http10 ? "HTTP/1.0" : "HTTP/1.1");
    // Header names carry their colon, as IIS expects them.
    if (name.size() < 2 || name.back() != ':') return std::nullopt;
    const std::string_view wanted = name.substr(0, name.size() - 1);
    return JoinedFields([wanted](std::string_view field) {
        return text::EqualsIgnoreCase(field, wanted);
    });
}

bool FilterRequest::ParseHeaderLines(std::string_view text, HeaderLines& out) {
    // Lines go straight to `out`; a bad line takes back those this call added.
    const std::size_t before = out.size();
    const auto refuse = [&out, before] {
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(before), out.end());
        return false;
    };
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        const std::size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos) return refuse();
        const std::string_view name = line.substr(0, colon);
        for (const char c : name) {
            if (!IsTokenChar(c)) return refuse();
        }
        // The server alone frames its answers: a filter's Content-Length, Transfer-Encoding or
        // Connection would put the client out of step with the connection.
        if (text::EqualsIgnoreCase(name, "Content-Length") ||
            text::EqualsIgnoreCase(name, "Transfer-Encoding") ||
            text::EqualsIgnoreCase(name, "Connection")) {
            return refuse();
        }
        const std::string_view value = text::Trim(line.substr(colon + 1));
        if (!IsFieldValueText(value)) return refuse();
        out.emplace_back(std::string(name), std::string(value));
    }
    return true;
}

std::optional<std::pair<unsigned, std::string>> FilterRequest::ParseStatus(std::string_view text) {
    if (text.size() < 3) return std::nullopt;
    unsigned code = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        code = code * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (code < 100 || code > 999) return std::nullopt;
    std::string_view reason = text.substr(3);
    if (!reason.empty()) {
        if (reason.front() != ' ') return std::nullopt;
        reason = text::TrimRight(reason.substr(1));
    }
    if (!IsFieldValueText(reason)) return std::nullopt;
    return std::make_pair(code, std::string(reason));
}

FilterRequest* FilterRequest::Self(HTTP_FILTER_CONTEXT* pfc) {
    return pfc == nullptr ? nullptr : static_cast<FilterRequest*>(pfc->ServerContext);
}

BOOL FilterRequest::CopyOut(std::optional<std::string_view> value, LPVOID buffer, LPDWORD size) {
    if (!value || size == nullptr) return FALSE;
    const DWORD needed = static_cast<DWORD>(value->size() + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return FALSE;
    }
    if (!value->empty()) std::memcpy(buffer, value->data(), value->size());
    static_cast<char*>(buffer)[value->size()] = '\0';
    *size = needed;
    return TRUE;
}

BOOL WINAPI FilterRequest::GetServerVariableCallback(HTTP_FILTER_CONTEXT* pfc, LPSTR name,
                                                     LPVOID buffer, LPDWORD size) {
    FilterRequest* self = Self(pfc);
    if (self == nullptr || name == nullptr) return FALSE;
    try {
        return CopyOut(self->ServerVariable(name), buffer, size);
    } catch (...) {
        return FALSE;
    }
}

BOOL WINAPI FilterRequest::GetHeaderCallback(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                             LPDWORD size) {
    FilterRequest* self = Self(pfc);
    if (self == nullptr || name == nullptr) return FALSE;
    try {
        return CopyOut(self->Header(name), buffer, size);
    } catch (...) {
        return FALSE;
    }
}

// The request is served as received; changing its headers is not offered.
BOOL WINAPI FilterRequest::SetHeaderCallback(HTTP_FILTER_CONTEXT*, LPSTR, LPSTR) { return FALSE; }

BOOL WINAPI FilterRequest::AddResponseHeadersCallback(HTTP_FILTER_CONTEXT* pfc, LPSTR headers,
                                                      DWORD) {
    FilterRequest* self = Self(pfc);
    if (self == nullptr || headers == nullptr) return FALSE;
    try {
        return ParseHeaderLines(headers, self->pending_) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

// Raw writes would bypass the response framing this server keeps; filters send headers instead.
BOOL WINAPI FilterRequest::WriteClientCallback(HTTP_FILTER_CONTEXT*, LPVOID, LPDWORD, DWORD) {
    return FALSE;
}

void* WINAPI FilterRequest::AllocMemCallback(HTTP_FILTER_CONTEXT* pfc, DWORD size, DWORD) {
    FilterRequest* self = Self(pfc);
    if (self == nullptr) return nullptr;
    try {
        self->allocations_.push_back(std::make_unique<char[]>(size == 0 ? 1 : size));
        return self->allocations_.back().get();
    } catch (...) {
        return nullptr;
    }
}

BOOL WINAPI FilterRequest::ServerSupportFunctionCallback(HTTP_FILTER_CONTEXT* pfc,
                                                         enum SF_REQ_TYPE request, PVOID data,
                                                         ULONG_PTR ul1, ULONG_PTR) {
    FilterRequest* self = Self(pfc);
    if (self == nullptr || request != SF_REQ_SEND_RESPONSE_HEADER) return FALSE;
    // One response per request: a second one would corrupt the connection.
    if (self->sent_) return FALSE;
    try {
        const auto status =
            ParseStatus(data != nullptr ? static_cast<const char*>(data) : "200 OK");
        if (!status) return FALSE;
        SentResponse sent;
        sent.status = status->first;
        sent.reason = std::move(status->second);
        // The added headers go with this response; they stay pending if the call fails.
        sent.headers = std::move(self->pending_);
        self->pending_.clear();
        if (ul1 != 0 && !ParseHeaderLines(reinterpret_cast<const char*>(ul1), sent.headers)) {
            self->pending_ = std::move(sent.headers);
            return FALSE;
        }
        self->sent_ = std::move(sent);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}
