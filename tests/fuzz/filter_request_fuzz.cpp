// The stand-in web server's request adapter on any request it can parse: the ISAPI buffer
// contract for every value a filter asks for (the value and its NUL fit, or FALSE with the size
// needed and the buffer untouched), and responses a filter sends carry no broken header lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <boost/beast/http.hpp>
#include <cstring>
#include <string_view>
#include <vector>

#include "filter_request.h"
#include "fuzz_check.h"

namespace http = boost::beast::http;

namespace {

constexpr const char* kVariables[] = {
    "SERVER_NAME",    "REMOTE_ADDR",  "REMOTE_HOST",     "URL",         "QUERY_STRING",
    "REQUEST_METHOD", "HTTP_REFERER", "HTTP_USER_AGENT", "HTTP_COOKIE", "SERVER_PROTOCOL"};
constexpr const char* kHeaders[] = {
    "url", "method", "version", "User-Agent:", "Cookie:", "Referer:", "Host:"};
constexpr unsigned char kUntouched = 0xA5;

void CheckCopy(std::optional<std::string_view> expected, BOOL result,
               const std::vector<unsigned char>& buffer, DWORD sizeGiven, DWORD sizeAfter) {
    const std::size_t needed = expected ? expected->size() + 1 : 0;
    if (result) {
        FUZZ_CHECK(expected && needed <= sizeGiven);
        FUZZ_CHECK(sizeAfter == needed);
        FUZZ_CHECK(expected->empty() ||
                   std::memcmp(buffer.data(), expected->data(), expected->size()) == 0);
        FUZZ_CHECK(buffer[expected->size()] == 0);
        for (std::size_t i = needed; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == kUntouched);
        return;
    }
    for (const unsigned char byte : buffer) FUZZ_CHECK(byte == kUntouched);
    if (expected) {
        FUZZ_CHECK(needed > sizeGiven);
        FUZZ_CHECK(sizeAfter == needed);
    }
}

// Asks for one value through the callback with a buffer of exactly `size` bytes.
void Ask(FilterRequest& request, bool header, const std::string& name, DWORD size) {
    std::vector<unsigned char> buffer(size, kUntouched);
    DWORD length = size;
    HTTP_FILTER_CONTEXT* context = request.Context();
    const BOOL result =
        header ? request.Headers()->GetHeader(context, const_cast<char*>(name.c_str()),
                                              buffer.empty() ? nullptr : buffer.data(), &length)
               : context->GetServerVariable(context, const_cast<char*>(name.c_str()),
                                            buffer.empty() ? nullptr : buffer.data(), &length);
    CheckCopy(header ? request.Header(name) : request.ServerVariable(name), result, buffer, size,
              length);
}

bool IsLineText(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos &&
           text.find('\0') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string address = input.ConsumeRandomLengthString(64);
    const std::string status = input.ConsumeRandomLengthString(40);
    const std::string added = input.ConsumeRandomLengthString(200);
    const std::string extra = input.ConsumeRandomLengthString(200);
    const std::string asked = input.ConsumeRandomLengthString(30);
    const std::vector<std::uint8_t> sizes = input.ConsumeBytes<std::uint8_t>(8);
    const std::string raw = input.ConsumeRemainingBytesAsString();

    // The request as the server's parser gives it.
    http::request_parser<http::string_body> parser;
    parser.eager(true);
    boost::beast::error_code error;
    parser.put(boost::asio::buffer(raw), error);
    if (error || !parser.is_header_done()) return 0;
    const auto& parsed = parser.get();
    std::vector<RequestView::Field> fields;
    for (const auto& field : parsed) {
        fields.push_back({std::string_view(field.name_string().data(), field.name_string().size()),
                          std::string_view(field.value().data(), field.value().size())});
    }
    const RequestView view{
        .method = std::string_view(parsed.method_string().data(), parsed.method_string().size()),
        .target = std::string_view(parsed.target().data(), parsed.target().size()),
        .http10 = parsed.version() == 10,
        .fields = fields,
        .clientAddress = address,
        .defaultServerName = "localhost",
    };
    FilterRequest request(view);

    std::size_t next = 0;
    auto nextSize = [&]() -> DWORD {
        // Around the sizes that matter: none, small, and the filter's own buffers.
        const std::uint8_t pick = next < sizes.size() ? sizes[next++] : 0;
        return pick < 128 ? pick : static_cast<DWORD>(pick) * 16;
    };
    for (const char* name : kVariables) Ask(request, false, name, nextSize());
    for (const char* name : kHeaders) Ask(request, true, name, nextSize());
    Ask(request, false, asked, nextSize());
    Ask(request, true, asked, nextSize());

    HTTP_FILTER_CONTEXT* context = request.Context();
    context->AddResponseHeaders(context, const_cast<char*>(added.c_str()), 0);
    const BOOL sent = context->ServerSupportFunction(context, SF_REQ_SEND_RESPONSE_HEADER,
                                                     const_cast<char*>(status.c_str()),
                                                     reinterpret_cast<ULONG_PTR>(extra.c_str()), 0);
    FUZZ_CHECK((sent == TRUE) == request.Sent().has_value());
    if (request.Sent()) {
        FUZZ_CHECK(request.Sent()->status >= 100 && request.Sent()->status <= 999);
        FUZZ_CHECK(IsLineText(request.Sent()->reason));
        for (const auto& [name, value] : request.Sent()->headers) {
            FUZZ_CHECK(!name.empty() && name.find(':') == std::string::npos && IsLineText(name));
            FUZZ_CHECK(IsLineText(value));
        }
        FUZZ_CHECK(request.PendingHeaders().empty());
    }
    return 0;
}
