// One HTTP request as the ISAPI filter interface shows it to a filter module: the filter context
// and the preprocessed-headers record whose callbacks answer from the real request, and what the
// filters asked the server to send back.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/isapi.h"
#include "request_view.h"

class FilterRequest {
  public:
    using HeaderLines = std::vector<std::pair<std::string, std::string>>;

    // A response a filter sent with SF_REQ_SEND_RESPONSE_HEADER.
    struct SentResponse {
        unsigned status = 0;
        std::string reason;
        HeaderLines headers;  // added headers first, then the extra headers of the call
    };

    // The request's values are viewed, not copied: `request` outlives the adapter.
    explicit FilterRequest(const RequestView& request);
    FilterRequest(const FilterRequest&) = delete;
    FilterRequest& operator=(const FilterRequest&) = delete;

    // The records handed to HttpFilterProc; each call gets a fresh pFilterContext.
    HTTP_FILTER_CONTEXT* Context();
    HTTP_FILTER_PREPROC_HEADERS* Headers() { return &headers_; }

    // What the callbacks answer, as text; absent when the request has no such value. The text
    // views the request, or for a field sent several times their joined values, which stay
    // valid until the next call.
    std::optional<std::string_view> ServerVariable(std::string_view name) const;
    std::optional<std::string_view> Header(std::string_view name) const;

    // The response a filter sent, if any; once sent, the request has its answer.
    const std::optional<SentResponse>& Sent() const { return sent_; }
    // Headers added with AddResponseHeaders and not yet sent: they go with the next response.
    const HeaderLines& PendingHeaders() const { return pending_; }

    // Splits header text ("Name: value" lines ending in "\n" or "\r\n") into lines; false when
    // a line is no valid header line or a framing header (Content-Length, Transfer-Encoding,
    // Connection), which only the server sets (nothing is added then).
    static bool ParseHeaderLines(std::string_view text, HeaderLines& out);
    // "302 Object Moved" -> {302, "Object Moved"}; absent for text that is no status.
    static std::optional<std::pair<unsigned, std::string>> ParseStatus(std::string_view text);

  private:
    static BOOL WINAPI GetServerVariableCallback(HTTP_FILTER_CONTEXT* pfc, LPSTR name,
                                                 LPVOID buffer, LPDWORD size);
    static BOOL WINAPI GetHeaderCallback(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                         LPDWORD size);
    static BOOL WINAPI SetHeaderCallback(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPSTR value);
    static BOOL WINAPI AddResponseHeadersCallback(HTTP_FILTER_CONTEXT* pfc, LPSTR headers,
                                                  DWORD reserved);
    static BOOL WINAPI WriteClientCallback(HTTP_FILTER_CONTEXT* pfc, LPVOID buffer, LPDWORD bytes,
                                           DWORD reserved);
    static void* WINAPI AllocMemCallback(HTTP_FILTER_CONTEXT* pfc, DWORD size, DWORD reserved);
    static BOOL WINAPI ServerSupportFunctionCallback(HTTP_FILTER_CONTEXT* pfc,
                                                     enum SF_REQ_TYPE request, PVOID data,
                                                     ULONG_PTR ul1, ULONG_PTR ul2);
    static FilterRequest* Self(HTTP_FILTER_CONTEXT* pfc);
    // The ISAPI buffer contract: the value and its NUL when both fit; otherwise FALSE, the
    // buffer untouched and the size needed reported.
    static BOOL CopyOut(std::optional<std::string_view> value, LPVOID buffer, LPDWORD size);
    // All values of the fields the predicate accepts, joined as HTTP joins repeated fields.
    template <typename Matches>
    std::optional<std::string_view> JoinedFields(Matches matches) const;

    const RequestView& request_;
    HTTP_FILTER_CONTEXT context_{};
    HTTP_FILTER_PREPROC_HEADERS headers_{};
    HeaderLines pending_;
    std::optional<SentResponse> sent_;
    std::vector<std::unique_ptr<char[]>> allocations_;  // AllocMem: freed with the request
    mutable std::string joined_;  // the values of a repeated field, as last asked for
};
