#include "filter_chain.h"

#include <utility>

FilterChain::FilterChain(std::vector<std::shared_ptr<const FilterModule>> filters)
    : filters_(std::move(filters)) {}

FilterChain::Outcome FilterChain::Run(FilterRequest& request) const {
    DWORD status = SF_STATUS_REQ_NEXT_NOTIFICATION;
    for (const auto& filter : filters_) {
        status = filter->PreprocHeaders(request.Context(), request.Headers());
        // A sent response is the request's answer, whatever the filter returned with it.
        if (request.Sent() || status != SF_STATUS_REQ_NEXT_NOTIFICATION) break;
    }
    if (request.Sent()) return {Action::kRespond, status != SF_STATUS_REQ_FINISHED};
    switch (status) {
        case SF_STATUS_REQ_NEXT_NOTIFICATION:
            return {Action::kServe, true};
        case SF_STATUS_REQ_HANDLED_NOTIFICATION:
        case SF_STATUS_REQ_FINISHED:
        case SF_STATUS_REQ_FINISHED_KEEP_CONN:
            // Finished without an answer: nothing more is sent, and only closing the
            // connection tells the client so.
            return {Action::kClose, false};
        default:
            return {Action::kError, true};
    }
}
