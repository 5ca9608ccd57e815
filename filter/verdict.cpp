#include "verdict.h"

#include "admission_cookie.h"
#include "admissions.h"
#include "filter_config.h"
#include "log_messages.h"
#include "request_facts.h"

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

}  // namespace

Verdict Decide(const RequestFacts& facts, const FilterConfig& config, Admissions* table,
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
        } else if (config.blockNullReferrer()) {
            return Block(facts, log_messages::kReferrerNull, facts.clientAddress);
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
