#include "verdict.h"

#include "admission_cookie.h"
#include "dynamic_access_table.h"
#include "filter_config.h"
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
                             DynamicAccessTable* table, std::int64_t now) {
    if (!facts.isProtected) {
        // A page admits its client, unless the client is one that is never let in.
        if (config.IsClientBlackListed(facts.clientAddress, facts.clientHost))
            return Allow(nullptr);
        return Verdict{Verdict::Outcome::kAdmit, nullptr, std::nullopt, {}, config.useCookie()};
    }
    if (config.useCookie() && CookieAdmissionValid(facts)) {
        return Allow("Allowing %s : Dynamic access (cookie) granted for %s", facts.clientAddress);
    }
    if (table && table->IsAdmitted(facts.clientAddress, now)) {
        return Allow("Allowing %s : Dynamic access granted for %s", facts.clientAddress);
    }
    return Block(facts, "Blocking %s : Dynamic access denied for %s", facts.clientAddress);
}

}  // namespace

Verdict Decide(const RequestFacts& facts, const FilterConfig& config, DynamicAccessTable* table,
               std::int64_t now) {
    if (facts.urlMissing) return Verdict{Verdict::Outcome::kError, nullptr, {}, {}, false};
    if (facts.isExempt) return Allow(nullptr);

    if (facts.isProtected) {
        if (config.IsClientBlackListed(facts.clientAddress, facts.clientHost)) {
            return Block(facts, "Blocking %s : Client %s is black listed", facts.clientAddress);
        }
        if (config.IsClientWhiteListed(facts.clientAddress, facts.clientHost)) {
            return Allow("Allowing %s : Client %s is white listed", facts.clientAddress);
        }
        if (!facts.userAgent.empty()) {
            if (config.IsUserAgentBlackListed(facts.userAgent)) {
                return Block(facts, "Blocking %s : User Agent %s is black listed", facts.userAgent);
            }
            if (config.IsUserAgentWhiteListed(facts.userAgent)) {
                return Allow("Allowing %s : User Agent %s is white listed", facts.userAgent);
            }
        }
        if (!facts.referrerHost.empty()) {
            if (config.IsReferrerBlackListed(facts.referrerHost)) {
                return Block(facts, "Blocking %s : Referrer %s is black listed",
                             facts.referrerHost);
            }
            if (config.IsReferrerWhiteListed(facts.referrerHost, facts.serverName)) {
                return Allow("Allowing %s : Referrer %s is white listed", facts.referrerHost);
            }
        } else if (config.blockNullReferrer()) {
            return Block(facts, "Blocking %s : Referrer is null for %s", facts.clientAddress);
        }
        if (config.IsUrlBlackListed(facts.serverName, facts.url)) {
            return Block(facts, "Blocking %s : Url is black listed");
        }
        if (config.IsUrlWhiteListed(facts.serverName, facts.url)) {
            return Allow("Allowing %s : Url is white listed");
        }
    }
    if (!config.dynamicAuthorization()) {
        return Allow("Allowing %s : No block rules for %s", facts.clientAddress);
    }
    return AuthorizeDynamically(facts, config, table, now);
}
