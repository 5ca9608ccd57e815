#include "verdict.h"

#include <algorithm>

#include "admission_cookie.h"
#include "admissions.h"
#include "filter_config.h"
#include "log_messages.h"
#include "request_facts.h"
#include "text.h"

namespace {

Verdict Allow(const char* message, std::optional<std::string_view> value = std::nullopt) {
    return Verdict{Verdict::Outcome::kAllow, message, value, {}, false};
}

Verdict Block(const RequestFacts& facts, const char* message,
              std::optional<std::string_view> value = std::nullopt) {
    return Verdict{Verdict::Outcome::kBlock, message, value, facts.alternateUrl, false};
}

Verdict AuthorizeDynamically(const RequestFacts& facts, const FilterConfig& config,
                             Admissions* table, std::int64_t now) {
    if (!facts.isProtected) {
        // A page admits its client, unless the client is one that is never let in.
        if (config.IsClientBlackListed(facts.clientAddress, facts.clientHost))
            return Allow(nullptr);
        return Verdict{Verdict::Outcome::kAdmit, nullptr, std::nullopt, {}, config.useCookie()};
    }
    if (config.useCookie() && CookieAdmissionValid(facts)) {
        return Allow(log_messages::kDynamicCookieGranted, facts.clientAddress);
    }
    if (table && table->IsAdmitted(facts.clientAddress, now)) {
        return Allow(log_messages::kDynamicGranted, facts.clientAddress);
    }
    return Block(facts, log_messages::kDynamicDenied, facts.clientAddress);
}

// A visitor followed a link to the file or opened it in a tab: the browser navigates the whole
// window to it, which no other site's page can make it do for an embed.
bool IsTopLevelNavigation(const RequestFacts& facts) {
    return text::EqualsIgnoreCase(facts.secFetchMode, "navigate") &&
           text::EqualsIgnoreCase(facts.secFetchDest, "document");
}

// A request without a referrer host, judged by the page the browser says asked for it; nothing
// when the browser does not say (a typed address, an older browser, a tool).
std::optional<Verdict> JudgeFetchSite(const RequestFacts& facts, const FilterConfig& config) {
    if (!config.fetchMetadata()) return std::nullopt;
    const std::string_view site = facts.secFetchSite;
    if (text::EqualsIgnoreCase(site, "cross-site")) {
        return Block(facts, log_messages::kFetchCrossSite, facts.clientAddress);
    }
    if (text::EqualsIgnoreCase(site, "same-origin") || text::EqualsIgnoreCase(site, "same-site")) {
        return Allow(log_messages::kFetchOwnSite, site);
    }
    return std::nullopt;
}

Verdict Judge(const RequestFacts& facts, const FilterConfig& config, Admissions* table,
              std::int64_t now) {
    if (facts.urlMissing) return Verdict{Verdict::Outcome::kError, nullptr, {}, {}, false};
    // The server refuses the URL: nothing is served, so nobody is judged, and nobody admitted.
    if (facts.badRequest) return Allow(nullptr);
    if (facts.isExempt) return Allow(nullptr);

    if (facts.isProtected) {
        // Each value is scanned once for a black list and its white list; black is asked first.
        const FilterConfig::ListPair client =
            config.ClientLists(facts.clientAddress, facts.clientHost);
        if (client.black) {
            return Block(facts, log_messages::kClientBlackListed, facts.clientAddress);
        }
        if (client.white) {
            return Allow(log_messages::kClientWhiteListed, facts.clientAddress);
        }
        if (!facts.userAgent.empty()) {
            const FilterConfig::ListPair agent = config.UserAgentLists(facts.userAgent);
            if (agent.black) {
                return Block(facts, log_messages::kUserAgentBlackListed, facts.userAgent);
            }
            if (agent.white) {
                return Allow(log_messages::kUserAgentWhiteListed, facts.userAgent);
            }
        }
        if (!facts.referrerHost.empty()) {
            const FilterConfig::ListPair referrer =
                config.ReferrerLists(facts.referrerHost, facts.serverName);
            if (referrer.black) {
                return Block(facts, log_messages::kReferrerBlackListed, facts.referrerHost);
            }
            if (referrer.white) {
                return Allow(log_messages::kReferrerWhiteListed, facts.referrerHost);
            }
        }
        // The lists of the visitor, its browser and the page have spoken; a followed link has
        // no page to judge by its headers, but the file's own black list still holds.
        if (config.allowLinks() && IsTopLevelNavigation(facts)) {
            if (config.UrlLists(facts.serverName, facts.path).black) {
                return Block(facts, log_messages::kUrlBlackListed);
            }
            return Allow(log_messages::kLinkFollowed, facts.clientAddress);
        }
        if (facts.referrerHost.empty()) {
            if (std::optional<Verdict> verdict = JudgeFetchSite(facts, config)) return *verdict;
            if (config.blockNullReferrer()) {
                return Block(facts, log_messages::kReferrerNull, facts.clientAddress);
            }
        }
        const FilterConfig::ListPair url = config.UrlLists(facts.serverName, facts.path);
        if (url.black) {
            return Block(facts, log_messages::kUrlBlackListed);
        }
        if (url.white) {
            return Allow(log_messages::kUrlWhiteListed);
        }
    }
    if (!config.dynamicAuthorization()) {
        return Allow(log_messages::kNoBlockRules, facts.clientAddress);
    }
    return AuthorizeDynamically(facts, config, table, now);
}

}  // namespace

Verdict Decide(const RequestFacts& facts, const FilterConfig& config, Admissions* table,
               std::int64_t now) {
    const Verdict verdict = Judge(facts, config, table, now);
    if (verdict.outcome != Verdict::Outcome::kBlock || config.enforce()) return verdict;
    // Report-only: the request goes through under its blocking line's twin, with its values.
    const auto& twins = log_messages::kWouldBlockOf;
    const auto twin = std::find_if(twins.begin(), twins.end(),
                                   [&](const auto& pair) { return pair.first == verdict.message; });
    return Allow(twin != twins.end() ? twin->second : verdict.message, verdict.value);
}
