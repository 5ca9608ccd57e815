// The request-to-ISAPI adapter: what a filter module reads from a real request through the
// callbacks, under the ISAPI buffer contract, and what it asks the server to send.
#include "filter_request.h"

#include <gtest/gtest.h>

#include <cstring>

#include "filter_chain.h"

namespace {

// Owns a GET request's values and shows them as a server hands them to the adapter.
class TestRequest {
  public:
    TestRequest(std::string target, std::vector<std::pair<std::string, std::string>> fields,
                std::string clientAddress = "127.0.0.1", std::string serverName = "localhost")
        : target_(std::move(target)),
          owned_(std::move(fields)),
          clientAddress_(std::move(clientAddress)),
          serverName_(std::move(serverName)) {
        for (const auto& [name, value] : owned_) fields_.push_back({name, value});
    }
    TestRequest(const TestRequest&) = delete;
    TestRequest& operator=(const TestRequest&) = delete;

    RequestView View() const {
        return {.method = "GET",
                .target = target_,
                .http10 = false,
                .fields = fields_,
                .clientAddress = clientAddress_,
                .defaultServerName = serverName_};
    }

  private:
    std::string target_;
    std::vector<std::pair<std::string, std::string>> owned_;
    std::vector<RequestView::Field> fields_;
    std::string clientAddress_;
    std::string serverName_;
};

// Asks through the filter's own entry points, as the module does.
struct Answer {
    BOOL ok;
    std::string value;
    DWORD size;
};
Answer AskVariable(FilterRequest& adapter, const char* name, DWORD bufferSize = 256) {
    std::vector<char> buffer(bufferSize + 1, '#');
    DWORD size = bufferSize;
    HTTP_FILTER_CONTEXT* context = adapter.Context();
    const BOOL ok =
        context->GetServerVariable(context, const_cast<char*>(name), buffer.data(), &size);
    return {ok, std::string(buffer.data(), strnlen(buffer.data(), bufferSize)), size};
}
Answer AskHeader(FilterRequest& adapter, const char* name, DWORD bufferSize = 256) {
    std::vector<char> buffer(bufferSize + 1, '#');
    DWORD size = bufferSize;
    const BOOL ok = adapter.Headers()->GetHeader(adapter.Context(), const_cast<char*>(name),
                                                 buffer.data(), &size);
    return {ok, std::string(buffer.data(), strnlen(buffer.data(), bufferSize)), size};
}

TEST(FilterRequestTest, AnswersServerVariablesFromTheRequest) {
    const struct {
        std::vector<std::pair<std::string, std::string>> fields;
        const char* variable;
        BOOL ok;
        std::string value;
    } cases[] = {
        {{{"Host", "Pictures.Example:8080"}}, "SERVER_NAME", TRUE, "Pictures.Example"},
        {{{"Host", "pictures.example"}}, "SERVER_NAME", TRUE, "pictures.example"},
        {{{"Host", "[::1]:8080"}}, "SERVER_NAME", TRUE, "[::1]"},
        {{{"Host", "[::1]"}}, "SERVER_NAME", TRUE, "[::1]"},
        {{}, "SERVER_NAME", TRUE, "configured.name"},
        {{}, "REMOTE_ADDR", TRUE, "10.1.2.3"},
        {{}, "REMOTE_HOST", TRUE, "10.1.2.3"},
        {{{"Referer", "http://other.example/page.html?x=1"}},
         "HTTP_REFERER",
         TRUE,
         "http://other.example/page.html?x=1"},
        {{}, "HTTP_REFERER", FALSE, ""},
        {{{"User-Agent", "Bot/1.0"}}, "HTTP_USER_AGENT", TRUE, "Bot/1.0"},
        {{{"X-Two", "a"}, {"X-Two", "b"}}, "HTTP_X_TWO", TRUE, "a, b"},
        {{}, "QUERY_STRING", TRUE, "q=1"},
        {{}, "URL", TRUE, "/images/a.gif"},
        {{}, "NO_SUCH_VARIABLE", FALSE, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variable);
        const TestRequest request("/images/a.gif?q=1", c.fields, "10.1.2.3", "configured.name");
        const RequestView view = request.View();
        FilterRequest adapter(view);
        const Answer answer = AskVariable(adapter, c.variable);
        EXPECT_EQ(answer.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(answer.value, c.value);
            EXPECT_EQ(answer.size, c.value.size() + 1);
        } else {
            EXPECT_EQ(answer.value, std::string(256, '#'));  // buffer untouched
        }
    }
}

TEST(FilterRequestTest, AnswersHeadersFromTheRequest) {
    const std::string target = "/dir/Pic.GIF?size=2&x=%20y";
    const TestRequest request(
        target,
        {{"user-agent", "Mozilla/5.0 (X11)"}, {"Cookie", "a=1"}, {"Cookie", "PIXWALLID=x"}});
    const RequestView view = request.View();
    FilterRequest adapter(view);
    const struct {
        const char* name;
        BOOL ok;
        std::string value;
    } cases[] = {
        {"url", TRUE, target},  // exactly as sent, query included
        {"method", TRUE, "GET"},
        {"version", TRUE, "HTTP/1.1"},
        {"User-Agent:", TRUE, "Mozilla/5.0 (X11)"},
        {"USER-AGENT:", TRUE, "Mozilla/5.0 (X11)"},
        {"Cookie:", TRUE, "a=1; PIXWALLID=x"},
        {"User-Agent", FALSE, ""},  // header names carry their colon
        {"Referer:", FALSE, ""},
        {"URL", FALSE, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Answer answer = AskHeader(adapter, c.name);
        EXPECT_EQ(answer.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(answer.value, c.value);
        }
    }
}

TEST(FilterRequestTest, KeepsTheIsapiBufferContract) {
    const std::string agent = "Agent/1.0";  // 9 characters, 10 bytes with the NUL
    const TestRequest request("/", {{"User-Agent", agent}});
    const RequestView view = request.View();
    FilterRequest adapter(view);
    const struct {
        DWORD bufferSize;
        BOOL ok;
    } cases[] = {{10, TRUE}, {11, TRUE}, {9, FALSE}, {1, FALSE}, {0, FALSE}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bufferSize);
        const Answer answer = AskHeader(adapter, "User-Agent:", c.bufferSize);
        EXPECT_EQ(answer.ok, c.ok);
        EXPECT_EQ(answer.size, 10u);  // copied, or needed
        EXPECT_EQ(answer.value, c.ok ? agent : std::string(c.bufferSize, '#'));
    }
    DWORD size = 100;
    EXPECT_FALSE(adapter.Headers()->GetHeader(adapter.Context(), const_cast<char*>("User-Agent:"),
                                              nullptr, &size));
    EXPECT_EQ(size, 10u);
}

TEST(FilterRequestTest, SendsTheStatusWithAddedAndExtraHeaders) {
    const TestRequest request("/a.gif", {});
    const RequestView view = request.View();
    FilterRequest adapter(view);
    HTTP_FILTER_CONTEXT* context = adapter.Context();
    EXPECT_TRUE(context->AddResponseHeaders(context, const_cast<char*>("Expires: 0\n"), 0));
    EXPECT_TRUE(context->AddResponseHeaders(
        context, const_cast<char*>("Set-Cookie: PIXWALLID=eA==; path=/;\r\n"), 0));
    EXPECT_EQ(adapter.PendingHeaders().size(), 2u);
    EXPECT_TRUE(context->ServerSupportFunction(
        context, SF_REQ_SEND_RESPONSE_HEADER, const_cast<char*>("302 Object Moved"),
        reinterpret_cast<ULONG_PTR>("Location: http://localhost/stop.gif\n"), 0));
    ASSERT_TRUE(adapter.Sent());
    EXPECT_EQ(adapter.Sent()->status, 302u);
    EXPECT_EQ(adapter.Sent()->reason, "Object Moved");
    const FilterRequest::HeaderLines expected = {{"Expires", "0"},
                                                 {"Set-Cookie", "PIXWALLID=eA==; path=/;"},
                                                 {"Location", "http://localhost/stop.gif"}};
    EXPECT_EQ(adapter.Sent()->headers, expected);
    EXPECT_TRUE(adapter.PendingHeaders().empty());
    // One response per request.
    EXPECT_FALSE(context->ServerSupportFunction(context, SF_REQ_SEND_RESPONSE_HEADER,
                                                const_cast<char*>("404 Not Found"), 0, 0));
    EXPECT_EQ(adapter.Sent()->status, 302u);
}

TEST(FilterRequestTest, RefusesWhatItCannotSendProperly) {
    const TestRequest request("/a.gif", {});
    const RequestView view = request.View();
    FilterRequest adapter(view);
    HTTP_FILTER_CONTEXT* context = adapter.Context();
    for (const char* bad :
         {"no colon\n", ": empty name\n", "Bad Name: x\n", "X: a\x01z\n", "Content-Length: 0\n",
          "X: 1\ntransfer-encoding: chunked\n", "Connection: close\n"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(context->AddResponseHeaders(context, const_cast<char*>(bad), 0));
    }
    EXPECT_TRUE(adapter.PendingHeaders().empty());
    for (const char* bad : {"Object Moved", "30 Short", "302Moved", "9999 Big"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(context->ServerSupportFunction(context, SF_REQ_SEND_RESPONSE_HEADER,
                                                    const_cast<char*>(bad), 0, 0));
    }
    EXPECT_FALSE(context->ServerSupportFunction(context, SF_REQ_GET_CONNID, nullptr, 0, 0));
    // A refused response leaves the added headers for the next one.
    EXPECT_TRUE(context->AddResponseHeaders(context, const_cast<char*>("Expires: 0\n"), 0));
    EXPECT_FALSE(context->ServerSupportFunction(
        context, SF_REQ_SEND_RESPONSE_HEADER, const_cast<char*>("302 Object Moved"),
        reinterpret_cast<ULONG_PTR>("Location: /a\nConnection: close\n"), 0));
    EXPECT_EQ(adapter.PendingHeaders(), (FilterRequest::HeaderLines{{"Expires", "0"}}));
    EXPECT_FALSE(adapter.Sent());
}

TEST(FilterRequestTest, ParsesStatusTexts) {
    const struct {
        std::string text;
        bool ok;
        unsigned code;
        std::string reason;
    } cases[] = {
        {"302 Object Moved", true, 302, "Object Moved"},
        {"404 Not Found", true, 404, "Not Found"},
        {"200", true, 200, ""},
        {"500 Server Error \r", true, 500, "Server Error"},
        {"500 Server\x01Error", false, 0, ""},
        {"302 Moved\r\nSet-Cookie: x=1", false, 0, ""},
        {"500 Server Error  ", true, 500, "Server Error"},
        {"099 Low", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto status = FilterRequest::ParseStatus(c.text);
        ASSERT_EQ(status.has_value(), c.ok);
        if (c.ok) {
            EXPECT_EQ(status->first, c.code);
            EXPECT_EQ(status->second, c.reason);
        }
    }
}

TEST(FilterRequestTest, GivesEachCallAFreshFilterContextAndMemoryForTheRequest) {
    const TestRequest request("/", {});
    const RequestView view = request.View();
    FilterRequest adapter(view);
    HTTP_FILTER_CONTEXT* context = adapter.Context();
    context->pFilterContext = context;
    EXPECT_EQ(adapter.Context()->pFilterContext, nullptr);
    void* memory = context->AllocMem(context, 64, 0);
    ASSERT_NE(memory, nullptr);
    std::memset(memory, 0x5a, 64);  // the sanitizers see a bad allocation here
}

TEST(FilterChainTest, TurnsEveryStatusAFilterReturnsIntoWhatTheServerDoes) {
    std::string error;
    std::shared_ptr<const FilterModule> module = FilterModule::Load(STATUS_FILTER, error);
    ASSERT_TRUE(module) << error;
    const FilterChain chain({module});
    using Action = FilterChain::Action;
    const struct {
        const char* name;
        DWORD status;
        bool answered;  // the filter sent a response before returning
        Action action;
        bool keepAlive;
    } cases[] = {
        {"NextServes", SF_STATUS_REQ_NEXT_NOTIFICATION, false, Action::kServe, true},
        {"HandledWithoutAnAnswerCloses", SF_STATUS_REQ_HANDLED_NOTIFICATION, false, Action::kClose,
         false},
        {"HandledAnswer", SF_STATUS_REQ_HANDLED_NOTIFICATION, true, Action::kRespond, true},
        {"FinishedWithoutAnAnswerCloses", SF_STATUS_REQ_FINISHED, false, Action::kClose, false},
        {"FinishedAnswerThenClose", SF_STATUS_REQ_FINISHED, true, Action::kRespond, false},
        {"KeepConnWithoutAnAnswerCloses", SF_STATUS_REQ_FINISHED_KEEP_CONN, false, Action::kClose,
         false},
        {"KeepConnAnswer", SF_STATUS_REQ_FINISHED_KEEP_CONN, true, Action::kRespond, true},
        {"ErrorIsAServerError", SF_STATUS_REQ_ERROR, false, Action::kError, true},
        {"ReadNextIsNoStatusForHeaders", SF_STATUS_REQ_READ_NEXT, false, Action::kError, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<std::string, std::string>> fields = {
            {"X-Status", std::to_string(c.status)}};
        if (c.answered) fields.emplace_back("X-Answer", "302 Object Moved");
        const TestRequest request("/a.gif", fields);
        const RequestView view = request.View();
        FilterRequest adapter(view);
        const FilterChain::Outcome outcome = chain.Run(adapter);
        EXPECT_EQ(outcome.action, c.action);
        EXPECT_EQ(outcome.keepAlive, c.keepAlive);
    }
}

}  // namespace
