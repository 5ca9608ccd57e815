// The filter modules a site runs every request through, in load order, and what their answers
// mean for the server: the one place that turns ISAPI status values into what a server does.
#pragma once

#include <memory>
#include <vector>

#include "filter_module.h"
#include "filter_request.h"

class FilterChain {
  public:
    enum class Action {
        kServe,    // serve the request as configured, with the request's pending headers
        kRespond,  // send the response in the request's Sent()
        kClose,    // the filters finished the request without an answer: close the connection
        kError,    // a filter failed the request: answer with a server error
    };
    struct Outcome {
        Action action = Action::kServe;
        bool keepAlive = true;  // false when the filters want the connection closed after it
    };

    FilterChain() = default;
    explicit FilterChain(std::vector<std::shared_ptr<const FilterModule>> filters);

    // Runs the preprocessed-headers notification of each module until one answers.
    Outcome Run(FilterRequest& request) const;

    const std::vector<std::shared_ptr<const FilterModule>>& Filters() const { return filters_; }

  private:
    std::vector<std::shared_ptr<const FilterModule>> filters_;
};
