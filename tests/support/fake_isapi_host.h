// A stand-in for the web server's side of the ISAPI filter interface: one request's server
// variables and headers, and a record of what the filter answered.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/isapi.h"

class FakeRequest {
  public:
    FakeRequest();

    // Fluent set-up of the request.
    FakeRequest& Server(std::string name);
    FakeRequest& Url(std::string url);
    FakeRequest& Client(std::string address, std::string host = "");
    FakeRequest& Referrer(std::string referrer);
    FakeRequest& UserAgent(std::string agent);
    FakeRequest& Cookie(std::string cookie);
    FakeRequest& Variable(const std::string& name, std::string value);
    FakeRequest& Header(const std::string& name, std::string value);

    HTTP_FILTER_CONTEXT* Context() { return &context_; }
    HTTP_FILTER_PREPROC_HEADERS* Headers() { return &headers_; }

    // What the filter did.
    struct SentResponse {
        std::string status;
        std::string extraHeaders;
        std::string addedHeaders;  // AddResponseHeaders before the send
    };
    const std::vector<SentResponse>& Sent() const { return sent_; }
    const std::string& AddedHeaders() const { return addedHeaders_; }  // all of them
    const std::vector<std::string>& VariablesAsked() const { return variablesAsked_; }
    // Off for requests sent many times over, such as in benchmarks.
    void RecordCalls(bool on) { recordCalls_ = on; }

  private:
    static BOOL WINAPI GetServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer,
                                         LPDWORD size);
    static BOOL WINAPI AddResponseHeaders(HTTP_FILTER_CONTEXT* pfc, LPSTR headers, DWORD);
    static BOOL WINAPI ServerSupportFunction(HTTP_FILTER_CONTEXT* pfc, enum SF_REQ_TYPE request,
                                             PVOID data, ULONG_PTR ul1, ULONG_PTR ul2);
    static BOOL WINAPI GetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size);
    // A handful of values, looked up on every call of a benchmark's loop: a flat list costs far
    // less than a tree of strings, and no copy of the name.
    using Values = std::vector<std::pair<std::string, std::string>>;
    static void Set(Values& values, const std::string& name, std::string value);
    static BOOL Copy(const Values& values, const char* name, LPVOID buffer, LPDWORD size);

    HTTP_FILTER_CONTEXT context_{};
    HTTP_FILTER_PREPROC_HEADERS headers_{};
    Values variables_;
    Values requestHeaders_;
    std::string addedHeaders_;
    std::string pendingHeaders_;
    std::vector<SentResponse> sent_;
    std::vector<std::string> variablesAsked_;
    bool recordCalls_ = true;
};
