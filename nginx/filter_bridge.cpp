#include "filter_bridge.h"

#include <signal.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "filter_chain.h"
#include "filter_module.h"
#include "filter_request.h"
#include "url_path.h"

struct pixwall_chain_s {
    std::vector<std::string> paths;
    FilterChain chain;
    bool failed = false;
};

namespace {

// The modules this process has started, by file: a file named in several places is loaded once.
std::map<std::string, std::shared_ptr<const FilterModule>>& Started() {
    static std::map<std::string, std::shared_ptr<const FilterModule>> started;
    return started;
}

// The chains this process has started, emptied at its exit so the modules unload then.
std::vector<pixwall_chain_t*>& StartedChains() {
    static std::vector<pixwall_chain_t*> chains;
    return chains;
}

void SetError(const std::string& text, char* error, std::size_t size) {
    if (error == nullptr || size == 0) return;
    const std::size_t length = std::min(text.size(), size - 1);
    std::memcpy(error, text.data(), length);
    error[length] = '\0';
}

std::string_view View(pixwall_text_t text) { return {text.data, text.len}; }
pixwall_text_t Text(std::string_view text) { return {text.data(), text.size()}; }

// A filter starts a thread of its own; with every signal blocked in it, nginx's signals (reload,
// quit) keep reaching the worker's own thread, which is the one that acts on them.
std::shared_ptr<const FilterModule> LoadWithSignalsBlocked(const std::string& path,
                                                           std::string& error) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::shared_ptr<const FilterModule> module = FilterModule::Load(path, error);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return module;
}

int Headers(const FilterRequest::HeaderLines& headers, const pixwall_response_t* response) {
    for (const auto& [name, value] : headers) {
        if (response->header(response->data, Text(name), Text(value)) != 0) return -1;
    }
    return 0;
}

}  // namespace

extern "C" int pixwall_check_module(const char* path, char* error, size_t error_size) {
    try {
        std::string reason;
        if (FilterModule::Check(path, reason)) return 0;
        SetError(reason, error, error_size);
    } catch (const std::exception& failure) {
        SetError(failure.what(), error, error_size);
    }
    return -1;
}

extern "C" pixwall_chain_t* pixwall_chain_create(void) {
    try {
        return new pixwall_chain_t;
    } catch (...) {
        return nullptr;
    }
}

extern "C" void pixwall_chain_destroy(pixwall_chain_t* chain) { delete chain; }

extern "C" int pixwall_chain_add(pixwall_chain_t* chain, const char* path, size_t len) {
    try {
        chain->paths.emplace_back(path, len);
        return 0;
    } catch (...) {
        return -1;
    }
}

extern "C" int pixwall_chain_start(pixwall_chain_t* chain, char* error, size_t error_size) {
    try {
        StartedChains().push_back(chain);
        std::vector<std::shared_ptr<const FilterModule>> filters;
        for (const std::string& path : chain->paths) {
            auto& module = Started()[path];
            if (!module) {
                std::string reason;
                module = LoadWithSignalsBlocked(path, reason);
                if (!module) {
                    Started().erase(path);
                    chain->failed = true;
                    SetError(reason, error, error_size);
                    return -1;
                }
            }
            filters.push_back(module);
        }
        chain->chain = FilterChain(std::move(filters));
        return 0;
    } catch (const std::exception& failure) {
        chain->failed = true;
        SetError(failure.what(), error, error_size);
        return -1;
    }
}

extern "C" void pixwall_stop(void) {
    for (pixwall_chain_t* chain : StartedChains()) chain->chain = FilterChain();
    StartedChains().clear();
    Started().clear();
}

extern "C" pixwall_action_t pixwall_chain_run(const pixwall_chain_t* chain,
                                              const pixwall_request_t* request,
                                              const pixwall_response_t* response, int* keep_alive) {
    *keep_alive = 1;
    if (chain->failed) return PIXWALL_ERROR;
    try {
        thread_local std::string served;
        served.resize(request->target.len);
        const auto path = ServedPath(View(request->target), served.data());
        if (!path || *path != View(request->path)) return PIXWALL_REFUSE;
        // Reused from request to request: a worker runs one request at a time.
        thread_local std::vector<RequestView::Field> fields;
        fields.clear();
        for (std::size_t i = 0; i < request->field_count; ++i) {
            fields.push_back({View(request->fields[i].name), View(request->fields[i].value)});
        }
        const RequestView view{
            .method = View(request->method),
            .target = View(request->target),
            .http10 = request->http10 != 0,
            .fields = fields,
            .clientAddress = View(request->client_address),
            .defaultServerName = View(request->default_server_name),
        };
        FilterRequest filterRequest(view);
        const FilterChain::Outcome outcome = chain->chain.Run(filterRequest);
        *keep_alive = outcome.keepAlive ? 1 : 0;
        switch (outcome.action) {
            case FilterChain::Action::kRespond: {
                const FilterRequest::SentResponse& sent = *filterRequest.Sent();
                if (response->status(response->data, sent.status, Text(sent.reason)) != 0 ||
                    Headers(sent.headers, response) != 0) {
                    return PIXWALL_ERROR;
                }
                return PIXWALL_RESPOND;
            }
            case FilterChain::Action::kServe:
                if (Headers(filterRequest.PendingHeaders(), response) != 0) return PIXWALL_ERROR;
                return PIXWALL_SERVE;
            case FilterChain::Action::kClose:
                return PIXWALL_CLOSE;
            case FilterChain::Action::kError:
                Headers(filterRequest.PendingHeaders(), response);
                return PIXWALL_ERROR;
        }
    } catch (...) {
    }
    return PIXWALL_ERROR;
}
