// The activity log's messages, as printf formats. The filter writes them; the report reads them
// back, so both take them from here and cannot drift apart.
#pragma once

#include <array>

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

// The block answer's own line, after the decision's: the requested URL.
inline constexpr char kSendingAlternate[] = "Sending alternate resource for %s";

// Every message above, for readers of the log that must know them all.
inline constexpr std::array<const char*, 18> kAll{kStarted,
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
                                                  kSendingAlternate};

}  // namespace log_messages
