#include "site.h"

#include <utility>

#include "url_path.h"

namespace http = boost::beast::http;

namespace {

constexpr const char* kServerHeader = "pixwall-host";

Site::TextResponse Text(unsigned status, std::string_view reason, unsigned version,
                        std::string body) {
    Site::TextResponse response;
    response.version(version);
    response.result(status);
    response.reason(boost::beast::string_view(reason.data(), reason.size()));
    response.set(http::field::server, kServerHeader);
    if (!body.empty()) response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = std::move(body);
    response.prepare_payload();
    return response;
}

template <typename Response>
void AddHeaders(Response& response, const FilterRequest::HeaderLines& headers) {
    for (const auto& [name, value] : headers) response.insert(name, value);
}

// A reply to HEAD keeps its Content-Length but never carries the body.
void DropBody(Site::Reply& reply) {
    // Serve answers HEAD with a text response of no body; only text responses remain.
    if (auto* response = std::get_if<Site::TextResponse>(&reply.response)) {
        response->body().clear();
    }
}

}  // namespace

Site::Site(std::string serverName, const std::string& root,
           std::vector<std::shared_ptr<const FilterModule>> filters)
    : serverName_(std::move(serverName)), root_(root), filters_(std::move(filters)) {}

Site::Reply Site::BadRequest() {
    Reply reply;
    reply.response = Text(400, "Bad Request", 11, "400 Bad Request\n");
    reply.closeAfter = true;
    return reply;
}

Site::Reply Site::NotImplemented() {
    Reply reply;
    reply.response = Text(501, "Not Implemented", 11, "501 Not Implemented\n");
    reply.closeAfter = true;
    return reply;
}

Site::Reply Site::Respond(const Request& request, const std::string& clientAddress) const {
    Reply reply = Answer(request, clientAddress);
    if (request.method() == http::verb::head) DropBody(reply);
    return reply;
}

Site::Reply Site::Answer(const Request& request, const std::string& clientAddress) const {
    // The origin form is all a plain web server is asked for (the session has checked the Host).
    // A target that maps to no file below the root is refused before the filters see it, since
    // nothing would be served for what they judge.
    const std::string_view target(request.target().data(), request.target().size());
    if (!PathBelowRoot(target)) {
        return BadRequest();
    }

    std::vector<RequestView::Field> fields;
    for (const auto& field : request) {
        fields.push_back({std::string_view(field.name_string().data(), field.name_string().size()),
                          std::string_view(field.value().data(), field.value().size())});
    }
    const RequestView view{
        .method = std::string_view(request.method_string().data(), request.method_string().size()),
        .target = std::string_view(request.target().data(), request.target().size()),
        .http10 = request.version() == 10,
        .fields = fields,
        .clientAddress = clientAddress,
        .defaultServerName = serverName_,
    };
    FilterRequest filterRequest(view);
    const FilterChain::Outcome outcome = filters_.Run(filterRequest);

    Reply reply;
    switch (outcome.action) {
        case FilterChain::Action::kRespond: {
            const FilterRequest::SentResponse& sent = *filterRequest.Sent();
            TextResponse response = Text(sent.status, sent.reason, request.version(), "");
            AddHeaders(response, sent.headers);
            response.keep_alive(request.keep_alive() && outcome.keepAlive);
            reply.closeAfter = !response.keep_alive();
            reply.response = std::move(response);
            return reply;
        }
        case FilterChain::Action::kServe:
            return Serve(request, filterRequest.PendingHeaders());
        case FilterChain::Action::kClose:
            reply.closeAfter = true;
            return reply;
        case FilterChain::Action::kError: {
            TextResponse response =
                Text(500, "Server Error", request.version(), "500 Server Error\n");
            AddHeaders(response, filterRequest.PendingHeaders());
            response.keep_alive(request.keep_alive());
            reply.closeAfter = !response.keep_alive();
            reply.response = std::move(response);
            return reply;
        }
    }
    return reply;
}

Site::Reply Site::Serve(const Request& request, const FilterRequest::HeaderLines& added) const {
    Reply reply;
    const auto finish = [&](auto response) {
        AddHeaders(response, added);
        response.keep_alive(request.keep_alive());
        reply.closeAfter = !response.keep_alive();
        reply.response = std::move(response);
        return std::move(reply);
    };

    if (request.method() != http::verb::get && request.method() != http::verb::head) {
        TextResponse response =
            Text(405, "Method Not Allowed", request.version(), "405 Method Not Allowed\n");
        response.set(http::field::allow, "GET, HEAD");
        return finish(std::move(response));
    }
    const std::string_view target(request.target().data(), request.target().size());
    const DocumentRoot::Lookup lookup = root_.Resolve(target);
    if (lookup.outcome == DocumentRoot::Outcome::kBadRequest) {
        return finish(Text(400, "Bad Request", request.version(), "400 Bad Request\n"));
    }

    boost::beast::error_code error;
    http::file_body::value_type body;
    if (lookup.outcome == DocumentRoot::Outcome::kFound) {
        body.open(lookup.file.c_str(), boost::beast::file_mode::scan, error);
    }
    if (lookup.outcome == DocumentRoot::Outcome::kNotFound || error) {
        return finish(Text(404, "Not Found", request.version(), "404 Not Found\n"));
    }
    const std::uint64_t size = body.size();
    const std::string_view contentType = DocumentRoot::ContentType(lookup.file);
    if (request.method() == http::verb::head) {
        TextResponse response = Text(200, "OK", request.version(), "");
        response.set(http::field::content_type,
                     boost::beast::string_view(contentType.data(), contentType.size()));
        response.content_length(size);
        return finish(std::move(response));
    }
    FileResponse response{std::piecewise_construct, std::make_tuple(std::move(body)),
                          std::make_tuple(http::status::ok, request.version())};
    response.set(http::field::server, kServerHeader);
    response.set(http::field::content_type,
                 boost::beast::string_view(contentType.data(), contentType.size()));
    response.content_length(size);
    return finish(std::move(response));
}
