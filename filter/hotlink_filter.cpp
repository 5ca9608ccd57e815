#include "hotlink_filter.h"

#include <cstring>
#include <new>

#include "admission_cookie.h"
#include "platform/string_resource.h"

namespace {

constexpr DWORD kFilterInterfaceVersion = 0x40000;
constexpr unsigned kDescriptionResource = 101;

// The setting is read as an unsigned number; the table counts in signed 32-bit seconds.
std::int32_t TimeToLiveOf(const FilterConfig& config) {
    return static_cast<std::int32_t>(config.timeToLive());
}

}  // namespace

HotlinkFilter::HotlinkFilter() = default;

HotlinkFilter::HotlinkFilter(DynamicAccessTable::Clock clock) : clock_(std::move(clock)) {}

HotlinkFilter::~HotlinkFilter() {
    if (watcher_) watcher_->Stop();
    watcher_.reset();
    if (log_) log_->Write("Pixwall for IIS stopped");
    log_.reset();
    accessTable_.reset();
    Publish(nullptr);
}

BOOL HotlinkFilter::GetFilterVersion(HTTP_FILTER_VERSION* version,
                                     const std::string& moduleFolder) {
    version->dwFlags = SF_NOTIFY_ORDER_DEFAULT;
    version->dwFilterVersion = kFilterInterfaceVersion;
    version->lpszFilterDesc[0] = '\0';

    // A second start-up replaces the first: its watcher goes before anything it could report to.
    watcher_.reset();
    log_.reset(new (std::nothrow) ActivityLog);
    accessTable_.reset(clock_ ? new (std::nothrow) DynamicAccessTable(clock_)
                              : new (std::nothrow) DynamicAccessTable);
    const std::shared_ptr<const FilterConfig> config =
        FilterConfig::Load(FilterConfig::Paths::Find(moduleFolder));
    if (log_ && config) log_->Configure(config->logFilePath(), config->maxLogSize());
    if (accessTable_ && config) accessTable_->SetTimeToLive(TimeToLiveOf(*config));
    Publish(config);
    watcher_.reset(new (std::nothrow) ConfigWatcher(log_.get()));
    if (log_) log_->Write("Pixwall for IIS started");
    if (watcher_ && config) watcher_->Start(config->paths().moduleFolder);

    version->dwFlags &= ~static_cast<DWORD>(SF_NOTIFY_ORDER_MASK);
    version->dwFlags |=
        SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT | SF_NOTIFY_PREPROC_HEADERS;
    version->dwFlags |= config ? config->priority() : SF_NOTIFY_ORDER_MEDIUM;

    const std::string description =
        platform::LoadStringResource(kDescriptionResource, SF_MAX_FILTER_DESC_LEN - 1);
    std::memcpy(version->lpszFilterDesc, description.c_str(), description.size() + 1);
    return TRUE;
}

std::shared_ptr<const FilterConfig> HotlinkFilter::Config() const {
    std::lock_guard guard(configLock_);
    return config_;
}

void HotlinkFilter::Publish(std::shared_ptr<const FilterConfig> config) {
    std::lock_guard guard(configLock_);
    config_.swap(config);
    // The old snapshot goes with `config`, after the lock is released, unless a request holds it.
}

void HotlinkFilter::RebuildConfiguration() {
    // Rebuilds that overlap would hand the log and the table the settings of whichever finished
    // last, not of the files as they are now.
    std::lock_guard guard(rebuildLock_);
    const std::shared_ptr<const FilterConfig> current = Config();
    if (!current) return;
    std::shared_ptr<const FilterConfig> fresh = FilterConfig::Load(current->paths());
    if (!fresh) return;  // out of memory: requests keep the snapshot they have
    if (log_) log_->Configure(fresh->logFilePath(), fresh->maxLogSize());
    if (accessTable_) accessTable_->SetTimeToLive(TimeToLiveOf(*fresh));
    Publish(std::move(fresh));
}

void HotlinkFilter::LogDecision(const char* format, const RequestFacts& facts,
                                const std::string* value) {
    if (!log_) return;
    if (value) {
        log_->Writef(format, facts.url.c_str(), value->c_str());
    } else {
        log_->Writef(format, facts.url.c_str());
    }
}

DWORD HotlinkFilter::Allow(const char* format, const RequestFacts& facts,
                           const std::string* value) {
    LogDecision(format, facts, value);
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
}

DWORD HotlinkFilter::Block(const char* format, const RequestFacts& facts,
                           const std::string* value) {
    LogDecision(format, facts, value);  // the blocking line comes before the answer's own
    return SendBlockResponse(facts);
}

DWORD HotlinkFilter::HandleRequestHeaders(HTTP_FILTER_CONTEXT* context,
                                          HTTP_FILTER_PREPROC_HEADERS* headers) {
    // Exactly one request takes each change, and is then judged under the new configuration.
    if (watcher_ && watcher_->TakeChange()) {
        if (log_) log_->Write("Rebuilding configuration due to changes");
        RebuildConfiguration();
    }

    const std::shared_ptr<const FilterConfig> snapshot = Config();
    if (!snapshot) return SF_STATUS_REQ_NEXT_NOTIFICATION;
    const FilterConfig& config = *snapshot;

    const RequestFacts facts = RequestFacts::Build(context, headers, config);
    if (facts.urlMissing) return SF_STATUS_REQ_ERROR;
    if (facts.isExempt) return SF_STATUS_REQ_NEXT_NOTIFICATION;

    const bool isProtected = config.IsBlockedType(facts.fileType);
    if (isProtected) {
        if (config.IsClientBlackListed(facts.clientAddress, facts.clientHost)) {
            return Block("Blocking %s : Client %s is black listed", facts, &facts.clientAddress);
        }
        if (config.IsClientWhiteListed(facts.clientAddress, facts.clientHost)) {
            return Allow("Allowing %s : Client %s is white listed", facts, &facts.clientAddress);
        }
        if (!facts.userAgent.empty()) {
            if (config.IsUserAgentBlackListed(facts.userAgent)) {
                return Block("Blocking %s : User Agent %s is black listed", facts,
                             &facts.userAgent);
            }
            if (config.IsUserAgentWhiteListed(facts.userAgent)) {
                return Allow("Allowing %s : User Agent %s is white listed", facts,
                             &facts.userAgent);
            }
        }
        if (!facts.referrerHost.empty()) {
            if (config.IsReferrerBlackListed(facts.referrerHost)) {
                return Block("Blocking %s : Referrer %s is black listed", facts,
                             &facts.referrerHost);
            }
            if (config.IsReferrerWhiteListed(facts.referrerHost, facts.serverName)) {
                return Allow("Allowing %s : Referrer %s is white listed", facts,
                             &facts.referrerHost);
            }
        } else if (config.blockNullReferrer()) {
            return Block("Blocking %s : Referrer is null for %s", facts, &facts.clientAddress);
        }
        if (config.IsUrlBlackListed(facts.serverName, facts.url)) {
            return Block("Blocking %s : Url is black listed", facts, nullptr);
        }
        if (config.IsUrlWhiteListed(facts.serverName, facts.url)) {
            return Allow("Allowing %s : Url is white listed", facts, nullptr);
        }
    }
    if (!config.dynamicAuthorization()) {
        return Allow("Allowing %s : No block rules for %s", facts, &facts.clientAddress);
    }
    return AuthorizeDynamically(facts, config, isProtected);
}

DWORD HotlinkFilter::AuthorizeDynamically(const RequestFacts& facts, const FilterConfig& config,
                                          bool isProtected) {
    if (!isProtected) {
        // A page admits its client, unless the client is one that is never let in.
        if (config.IsClientBlackListed(facts.clientAddress, facts.clientHost)) {
            return SF_STATUS_REQ_NEXT_NOTIFICATION;
        }
        if (accessTable_) accessTable_->Admit(facts.clientAddress);
        if (config.useCookie()) {
            std::string header = AdmissionCookieHeader(facts.clientAddress);
            facts.context->AddResponseHeaders(facts.context, header.data(), 0);
        }
        return SF_STATUS_REQ_NEXT_NOTIFICATION;
    }
    if (config.useCookie() && CookieAdmissionValid(facts)) {
        return Allow("Allowing %s : Dynamic access (cookie) granted for %s", facts,
                     &facts.clientAddress);
    }
    if (accessTable_ && accessTable_->IsAdmitted(facts.clientAddress)) {
        return Allow("Allowing %s : Dynamic access granted for %s", facts, &facts.clientAddress);
    }
    return Block("Blocking %s : Dynamic access denied for %s", facts, &facts.clientAddress);
}

DWORD HotlinkFilter::SendBlockResponse(const RequestFacts& facts) {
    HTTP_FILTER_CONTEXT* context = facts.context;
    if (facts.alternateUrl.empty()) {
        context->ServerSupportFunction(context, SF_REQ_SEND_RESPONSE_HEADER,
                                       const_cast<char*>("404 Not Found"), 0, 0);
        return SF_STATUS_REQ_FINISHED;
    }
    if (log_) log_->Writef("Sending alternate resource for %s", facts.url.c_str());
    context->AddResponseHeaders(context, const_cast<char*>("Expires: 0\n"), 0);
    std::string location = "Location: " + facts.alternateUrl + "\n";
    context->ServerSupportFunction(context, SF_REQ_SEND_RESPONSE_HEADER,
                                   const_cast<char*>("302 Object Moved"),
                                   reinterpret_cast<ULONG_PTR>(location.c_str()), 0);
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
}
