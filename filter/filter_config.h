// The filter's whole configuration: settings from "pixwall.ini", the nine rule lists, the
// alternate resources and the paths of its files. A loaded FilterConfig is never changed: a
// rebuild loads a new one from the same paths and the filter swaps it in.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "rule_list.h"
#include "store_address.h"
#include "substring_matcher.h"

class FilterConfig {
  public:
    // The lists by file.
    enum List {
        kBlockedTypes,
        kReferrerWhiteList,
        kReferrerBlackList,
        kClientWhiteList,
        kClientBlackList,
        kUserAgentWhiteList,
        kUserAgentBlackList,
        kUrlWhiteList,
        kUrlBlackList,
        kListCount
    };

    // Where the files are, fixed when the filter starts: a rebuild reads the same files, and
    // whether "corvane.ini" existed is not looked at again.
    struct Paths {
        std::string moduleFolder;
        std::string settings;
        std::string primaryConfig;
        std::string lists[kListCount];
        // Dynamic authorization and the cookie are read only when "corvane.ini" exists.
        bool primaryConfigExists = false;

        // The files of the module in that folder.
        static Paths Find(std::string moduleFolder);
    };

    // Reads every setting, list and alternate from the files as they are now; null when there is
    // no memory for it.
    static std::shared_ptr<const FilterConfig> Load(const Paths& paths);
    // The file names in the module folder whose change calls for a rebuild: "pixwall.ini",
    // "corvane.ini" (read from there when no install folder is recorded) and the nine lists.
    static std::vector<std::string> FileNames();

    const Paths& paths() const { return paths_; }

    // Settings.
    std::uint32_t priority() const { return priority_; }
    bool blockNullReferrer() const { return blockNullReferrer_; }
    // False only for "enforce=no": requests that would be blocked are logged and let through.
    bool enforce() const { return enforce_; }
    // A request without a referrer host is judged by its Sec-Fetch-Site header.
    bool fetchMetadata() const { return fetchMetadata_; }
    // A top-level navigation to a protected file is allowed unless a black list decides first.
    bool allowLinks() const { return allowLinks_; }
    unsigned timeToLive() const { return timeToLive_; }
    const std::string& logFilePath() const { return logFilePath_; }
    std::int32_t maxLogSize() const { return maxLogSize_; }
    bool dynamicAuthorization() const { return dynamicAuthorization_; }
    bool useCookie() const { return useCookie_; }
    // The Redis server that the servers of a web farm share their admissions through; nothing
    // when "store" is absent or names none.
    const std::optional<StoreAddress>& store() const { return store_; }

    // Rule tests.
    bool IsBlockedType(std::string_view fileType) const;
    // A page's client that is never admitted (dynamic authorization).
    bool IsClientBlackListed(std::string_view clientAddress, std::string_view clientHost) const;

    // A black list and its white list at once: each value is scanned once for both.
    struct ListPair {
        bool black = false;
        bool white = false;
    };
    ListPair ClientLists(std::string_view clientAddress, std::string_view clientHost) const;
    ListPair UserAgentLists(std::string_view userAgent) const;
    // White also for a referrer that is the site itself (its host equals the server name).
    ListPair ReferrerLists(std::string_view referrerHost, std::string_view serverName) const;
    // `path` is the path of the file the server serves for the URL (ServedPath).
    ListPair UrlLists(std::string_view serverName, std::string_view path) const;

    // Alternates: the URL for the type, else the "default" one, else empty.
    std::string_view LookupAlternate(std::string_view fileType) const;
    // Some alternate URL has this host and this path, both compared byte for byte. A protected
    // request for one is never blocked, so that a redirect to it cannot loop.
    bool IsAlternateResource(std::string_view serverName, std::string_view url) const;
    // Looked up by views of the request's values, without copying them.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>()(text);
        }
    };
    using AlternatesMap = std::unordered_map<std::string, std::string, TextHash, std::equal_to<>>;

    // For tests: the alternates by file type and the lists as loaded.
    const AlternatesMap& alternates() const { return alternates_; }
    const RuleList& list(List which) const { return lists_[which]; }

  private:
    explicit FilterConfig(const Paths& paths) : paths_(paths) {}
    void ReadFiles();
    std::string ReadLogFilePath() const;

    Paths paths_;

    std::uint32_t priority_ = 0;
    bool blockNullReferrer_ = false;
    bool enforce_ = true;
    bool fetchMetadata_ = false;
    bool allowLinks_ = false;
    unsigned timeToLive_ = 0;
    std::string logFilePath_;
    std::int32_t maxLogSize_ = 50000;
    bool dynamicAuthorization_ = false;
    bool useCookie_ = false;
    std::optional<StoreAddress> store_;
    RuleList lists_[kListCount];
    // Each black list with its white list in one automaton: bit 0 black, bit 1 white.
    SubstringMatcher clientLists_;
    SubstringMatcher userAgentLists_;
    SubstringMatcher referrerLists_;
    SubstringMatcher urlLists_;
    AlternatesMap alternates_;
    // The alternates that split as URLs: their hosts by path.
    std::unordered_map<std::string, std::vector<std::string>, TextHash, std::equal_to<>>
        alternateLocations_;
};
