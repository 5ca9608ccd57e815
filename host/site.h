// One web site of the host: its name, its document root and the filter modules it runs every
// request through, in load order. Turns a request into the reply to send.
#pragma once

#include <boost/beast/http.hpp>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "document_root.h"
#include "filter_chain.h"
#include "filter_request.h"

class Site {
  public:
    using Request = boost::beast::http::request<boost::beast::http::string_body>;
    using TextResponse = boost::beast::http::response<boost::beast::http::string_body>;
    using FileResponse = boost::beast::http::response<boost::beast::http::file_body>;

    struct Reply {
        // Nothing at all to send (a filter finished the request without answering it).
        std::variant<std::monostate, TextResponse, FileResponse> response;
        bool closeAfter = false;  // the connection ends after this reply
    };
    // What answers the requests of one listening address: a site, or the sites bound there.
    using Responder = std::function<Reply(const Request&, const std::string& clientAddress)>;

    Site(std::string serverName, const std::string& root,
         std::vector<std::shared_ptr<const FilterModule>> filters);

    // The reply to one request from the client at `clientAddress`.
    Reply Respond(const Request& request, const std::string& clientAddress) const;
    // The reply to a request that could not be read.
    static Reply BadRequest();
    // The reply to a request framed in a way this server does not read (a transfer coding).
    static Reply NotImplemented();

    const std::string& ServerName() const { return serverName_; }
    const DocumentRoot& Root() const { return root_; }
    const std::vector<std::shared_ptr<const FilterModule>>& Filters() const {
        return filters_.Filters();
    }

  private:
    Reply Answer(const Request& request, const std::string& clientAddress) const;
    Reply Serve(const Request& request, const FilterRequest::HeaderLines& added) const;

    std::string serverName_;
    DocumentRoot root_;
    FilterChain filters_;
};
