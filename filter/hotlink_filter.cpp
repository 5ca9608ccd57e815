#include "hotlink_filter.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <optional>
#include <string>

#include "admission_cookie.h"
#include "log_messages.h"
#include "machine_admission_table.h"
#include "platform/shared_memory.h"
#include "platform/string_resource.h"

namespace {

constexpr DWORD kFilterInterfaceVersion = 0x40000;
constexpr unsigned kDescriptionResource = 101;

// The setting is read as an unsigned number; the table counts in signed 32-bit seconds.
std::int32_t TimeToLiveOf(const FilterConfig& config) {
    return static_cast<std::int32_t>(config.timeToLive());
}

// The processes that load the module from one folder share their admissions through memory
// named after the folder. Without it (no rights, no memory or disk for it, a file of another
// owner or kind in its place) this process keeps its own, as a single process always could, and
// says so once on its standard error (the activity log's lines are fixed).
std::unique_ptr<Admissions> CreateLocalAdmissions(const std::string& moduleFolder) {
    const std::string place =
        platform::SharedMemory::PlaceFor(moduleFolder, MachineAdmissionTable::kFileName);
    if (std::unique_ptr<Admissions> shared = MachineAdmissionTable::Open(place)) return shared;
    static std::atomic<bool> told{false};
    if (!told.exchange(true)) {
        std::fprintf(stderr,
                     "pixwall: the admissions shared with the other processes cannot be kept "
                     "in %s; this process keeps its own\n",
                     place.c_str());
    }
    return std::unique_ptr<Admissions>(new (std::nothrow) ProcessAdmissionTable);
}

}  // namespace

HotlinkFilter::HotlinkFilter() = default;

HotlinkFilter::HotlinkFilter(Clock clock) : clock_(std::move(clock)) {}

HotlinkFilter::~HotlinkFilter() {
    if (watcher_) watcher_->Stop();
    watcher_.reset();
    if (log_) log_->Write(log_messages::kStopped);
    log_.reset();
    farm_.Publish(nullptr);  // it uses the table
    localAdmissions_.reset();
    config_.Publish(nullptr);
}

BOOL HotlinkFilter::GetFilterVersion(HTTP_FILTER_VERSION* version,
                                     const std::string& moduleFolder) {
    version->dwFlags = SF_NOTIFY_ORDER_DEFAULT;
    version->dwFilterVersion = kFilterInterfaceVersion;
    version->lpszFilterDesc[0] = '\0';

    // A second start-up replaces the first: its watcher goes before anything it could report to.
    watcher_.reset();
    farm_.Publish(nullptr);
    log_.reset(new (std::nothrow) ActivityLog);
    const std::shared_ptr<const FilterConfig> config =
        FilterConfig::Load(FilterConfig::Paths::Find(moduleFolder));
    localAdmissions_ = CreateLocalAdmissions(moduleFolder);
    if (log_ && config) log_->Configure(config->logFilePath(), config->maxLogSize());
    if (localAdmissions_ && config) localAdmissions_->SetTimeToLive(TimeToLiveOf(*config));
    if (config) UpdateFarm(*config);
    config_.Publish(config);
    watcher_.reset(new (std::nothrow) ConfigWatcher(log_.get()));
    if (log_) log_->Write(log_messages::kStarted);
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

void HotlinkFilter::RebuildConfiguration() {
    // Rebuilds that overlap would hand the log and the table the settings of whichever finished
    // last, not of the files as they are now.
    std::lock_guard guard(rebuildLock_);
    std::shared_ptr<const FilterConfig> fresh;
    {
        const auto current = config_.Read();
        if (!current) return;
        fresh = FilterConfig::Load(current->paths());
    }                    // publishing waits for the readers of the old snapshot, this one included
    if (!fresh) return;  // out of memory: requests keep the snapshot they have
    if (log_) log_->Configure(fresh->logFilePath(), fresh->maxLogSize());
    if (localAdmissions_) localAdmissions_->SetTimeToLive(TimeToLiveOf(*fresh));
    UpdateFarm(*fresh);
    config_.Publish(std::move(fresh));
}

void HotlinkFilter::UpdateFarm(const FilterConfig& config) {
    const std::optional<StoreAddress>& store = config.store();
    {
        const auto current = farm_.Read();
        if (current ? store && current->admissions->address() == *store : !store) {
            if (current) current->admissions->SetTimeToLive(TimeToLiveOf(config));
            return;
        }
    }  // publishing waits for the readers of the old layer, this one included
    std::shared_ptr<FarmLayer> next;
    if (store && localAdmissions_) {
        try {
            next = std::make_shared<FarmLayer>();
            next->admissions = std::make_unique<FarmAdmissions>(*localAdmissions_, *store);
            next->admissions->SetTimeToLive(TimeToLiveOf(config));
        } catch (const std::bad_alloc&) {
            next.reset();  // out of memory: admissions stay local
        }
    }
    farm_.Publish(std::move(next));
}

std::int64_t HotlinkFilter::Now() const {
    return clock_ ? clock_() : static_cast<std::int64_t>(std::time(nullptr));
}

DWORD HotlinkFilter::HandleRequestHeaders(HTTP_FILTER_CONTEXT* context,
                                          HTTP_FILTER_PREPROC_HEADERS* headers) {
    // Exactly one request takes each change, and is then judged under the new configuration.
    if (watcher_ && watcher_->TakeChange()) {
        if (log_) log_->Write(log_messages::kRebuilding);
        RebuildConfiguration();
    }

    const auto config = config_.Read();
    if (!config) return SF_STATUS_REQ_NEXT_NOTIFICATION;
    const RequestFacts facts(context, headers, *config);
    // Only dynamic authorization asks the admissions and the time; without it a request holds
    // no farm layer and reads no clock.
    std::optional<SnapshotCell<FarmLayer>::Reader> farm;
    std::int64_t now = 0;
    if (config->dynamicAuthorization()) {
        farm.emplace(farm_);
        now = Now();
    }
    Admissions* const admissions = farm && *farm ? (*farm)->admissions.get() : localAdmissions_.get();
    return Apply(Decide(facts, *config, admissions, now), facts, context, admissions, now);
}

DWORD HotlinkFilter::Apply(const Verdict& verdict, const RequestFacts& facts,
                           HTTP_FILTER_CONTEXT* context, Admissions* admissions, std::int64_t now) {
    if (verdict.outcome == Verdict::Outcome::kError) return SF_STATUS_REQ_ERROR;
    if (verdict.outcome == Verdict::Outcome::kAdmit) {
        if (admissions) admissions->Admit(facts.clientAddress, now);
        if (verdict.setCookie) {
            std::string header = AdmissionCookieHeader(facts.clientAddress);
            context->AddResponseHeaders(context, header.data(), 0);
        }
        return SF_STATUS_REQ_NEXT_NOTIFICATION;
    }
    // The decision's line comes before the answer's own, in the same write.
    const bool block = verdict.outcome == Verdict::Outcome::kBlock;
    if (log_ && log_->IsOn()) {
        const ActivityLog::Line decision{verdict.message, facts.url, verdict.value.value_or("")};
        const ActivityLog::Line sending{log_messages::kSendingAlternate, facts.url};
        const bool sends = block && !verdict.alternateUrl.empty();
        if (verdict.message && sends) {
            log_->Write({decision, sending});
        } else if (verdict.message) {
            log_->Write({decision});
        } else if (sends) {
            log_->Write({sending});
        }
    }
    if (block) {
        return SendBlockResponse(context, verdict.alternateUrl);
    }
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
}

DWORD HotlinkFilter::SendBlockResponse(HTTP_FILTER_CONTEXT* context,
                                       std::string_view alternateUrl) {
    if (alternateUrl.empty()) {
        context->ServerSupportFunction(context, SF_REQ_SEND_RESPONSE_HEADER,
                                       const_cast<char*>("404 Not Found"), 0, 0);
        return SF_STATUS_REQ_FINISHED;
    }
    context->AddResponseHeaders(context, const_cast<char*>("Expires: 0\n"), 0);
    std::string location = "Location: ";
    location.append(alternateUrl).append("\n");
    context->ServerSupportFunction(context, SF_REQ_SEND_RESPONSE_HEADER,
                                   const_cast<char*>("302 Object Moved"),
                                   reinterpret_cast<ULONG_PTR>(location.c_str()), 0);
    return SF_STATUS_REQ_HANDLED_NOTIFICATION;
}
