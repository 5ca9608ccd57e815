// The activity log's messages, as printf formats. The filter writes them; the report reads them
// back, so both take them from here and cannot drift apart.
#pragma once

#include <array>
#include <utility>

namespace log_messages {

inline constexpr char kStarted[] = "Pixwall for IIS started";
inline constexpr char kStopped[] = "Pixwall for IIS stopped";
inline constexpr char kRebuilding[] = "Rebuilding configuration due to changes";
// The watcher thread could not start: the C runtime's error number and its text.
inline constexpr char kWatcherError[] = "Error: %d %s.";

// Decisions: the requested URL first, then the deciding value.
inline constexpr char kClientBlackListed[] = "Blocking %s : Client %s is black listed";
inline constexpr char kClientWhiteListed[] = "Allowing %s : Client %s is white listed";
inline constexpr char kUserAgentBlackListed[] = "Blocking %s : User Agent %s is black listed";
inline constexpr char kUserAgentWhiteListed[] = "Allowing %s : User Agent %s is white listed";
inline constexpr char kReferrerBlackListed[] = "Blocking %s : Referrer %s is black listed";
inline constexpr char kReferrerWhiteListed[] = "Allowing %s : Referrer %s is white listed";
inline constexpr char kReferrerNull[] = "Blocking %s : Referrer is null for %s";
inline constexpr char kUrlBlackListed[] = "Blocking %s : Url is black listed";
inline constexpr char kUrlWhiteListed[] = "Allowing %s : Url is white listed";
inline constexpr char kDynamicCookieGranted[] =
    "Allowing %s : Dynamic access (cookie) granted for %s";
inline constexpr char kDynamicGranted[] = "Allowing %s : Dynamic access granted for %s";
inline constexpr char kDynamicDenied[] = "Blocking %s : Dynamic access denied for %s";
inline constexpr char kNoBlockRules[] = "Allowing %s : No block rules for %s";
// With Fetch Metadata read, for a request without a referrer: the browser's Sec-Fetch-Site
// value says whose page asked for it (the client's address, or the header's value).
inline constexpr char kFetchCrossSite[] = "Blocking %s : Sec-Fetch-Site is cross-site for %s";
inline constexpr char kFetchOwnSite[] = "Allowing %s : Sec-Fetch-Site is %s";
// With links allowed: a visitor followed a link to the file, or opened it in a tab.
inline constexpr char kLinkFollowed[] = "Allowing %s : Top-level navigation for %s";

// Report-only mode: the request goes through, and the line says which rule would have blocked
// it, with the blocking line's own text and values.
inline constexpr char kWouldBlockClient[] = "Would block %s : Client %s is black listed";
inline constexpr char kWouldBlockUserAgent[] = "Would block %s : User Agent %s is black listed";
inline constexpr char kWouldBlockReferrer[] = "Would block %s : Referrer %s is black listed";
inline constexpr char kWouldBlockNullReferrer[] = "Would block %s : Referrer is null for %s";
inline constexpr char kWouldBlockCrossSite[] =
    "Would block %s : Sec-Fetch-Site is cross-site for %s";
inline constexpr char kWouldBlockUrl[] = "Would block %s : Url is black listed";
inline constexpr char kWouldBlockDynamic[] = "Would block %s : Dynamic access denied for %s";

// Each blocking line and its report-only twin.
inline constexpr std::array<std::pair<const char*, const char*>, 7> kWouldBlockOf{{
    {kClientBlackListed, kWouldBlockClient},
    {kUserAgentBlackListed, kWouldBlockUserAgent},
    {kReferrerBlackListed, kWouldBlockReferrer},
    {kReferrerNull, kWouldBlockNullReferrer},
    {kFetchCrossSite, kWouldBlockCrossSite},
    {kUrlBlackListed, kWouldBlockUrl},
    {kDynamicDenied, kWouldBlockDynamic},
}};

// The block answer's own line, after the decision's: the requested URL.
inline constexpr char kSendingAlternate[] = "Sending alternate resource for %s";

// Every message above, for readers of the log that must know them all.
inline constexpr std::array<const char*, 28> kAll{kStarted,
                                                  kStopped,
                                                  kRebuilding,
                                                  kWatcherError,
                                                  kClientBlackListed,
                                                  kClientWhiteListed,
                                                  kUserAgentBlackListed,
                                                  kUserAgentWhiteListed,
                                                  kReferrerBlackListed,
                                                  kReferrerWhiteListed,
                                                  kReferrerNull,
                                                  kUrlBlackListed,
                                                  kUrlWhiteListed,
                                                  kDynamicCookieGranted,
                                                  kDynamicGranted,
                                                  kDynamicDenied,
                                                  kNoBlockRules,
                                                  kFetchCrossSite,
                                                  kFetchOwnSite,
                                                  kLinkFollowed,
                                                  kWouldBlockClient,
                                                  kWouldBlockUserAgent,
                                                  kWouldBlockReferrer,
                                                  kWouldBlockNullReferrer,
                                                  kWouldBlockCrossSite,
                                                  kWouldBlockUrl,
                                                  kWouldBlockDynamic,
                                                  kSendingAlternate};

}  // namespace log_messages
