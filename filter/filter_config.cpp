#include "filter_config.h"

#include <algorithm>
#include <new>

#include "install_location.h"
#include "platform/isapi.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/shared_file.h"
#include "profile_reader.h"
#include "split_url.h"
#include "text.h"

namespace {

constexpr const char* kListFileNames[FilterConfig::kListCount] = {
    "blocked_types.txt",    "referrer_whitelist.txt", "referrer_blacklist.txt",
    "client_whitelist.txt", "client_blacklist.txt",   "ua_whitelist.txt",
    "ua_blacklist.txt",     "url_whitelist.txt",      "url_blacklist.txt"};

// The order in which the lists are read.
constexpr FilterConfig::List kLoadOrder[] = {
    FilterConfig::kBlockedTypes,      FilterConfig::kReferrerWhiteList,
    FilterConfig::kReferrerBlackList, FilterConfig::kClientWhiteList,
    FilterConfig::kClientBlackList,   FilterConfig::kUrlWhiteList,
    FilterConfig::kUrlBlackList,      FilterConfig::kUserAgentWhiteList,
    FilterConfig::kUserAgentBlackList};

constexpr std::size_t kValueBufferSize = 260;
constexpr std::size_t kPriorityBufferSize = 8;
constexpr std::size_t kAlternateBufferSize = 2083;

std::string InFolder(const std::string& folder, std::string_view fileName) {
    return folder + platform::kPathSeparator + std::string(fileName);
}

std::uint32_t PriorityFromWord(std::string_view word) {
    if (text::EqualsIgnoreCase(word, "low")) return SF_NOTIFY_ORDER_LOW;
    if (text::EqualsIgnoreCase(word, "high")) return SF_NOTIFY_ORDER_HIGH;
    return SF_NOTIFY_ORDER_MEDIUM;
}

}  // namespace

std::vector<std::string> FilterConfig::FileNames() {
    std::vector<std::string> names = {"pixwall.ini", "corvane.ini"};
    names.insert(names.end(), std::begin(kListFileNames), std::end(kListFileNames));
    return names;
}

FilterConfig::Paths FilterConfig::Paths::Find(std::string moduleFolder) {
    Paths paths;
    paths.moduleFolder = std::move(moduleFolder);
    paths.primaryConfig = install_location::LocatePrimaryConfig("pixwall", paths.moduleFolder);
    paths.settings = InFolder(paths.moduleFolder, "pixwall.ini");
    for (int i = 0; i < kListCount; ++i) {
        paths.lists[i] = InFolder(paths.moduleFolder, kListFileNames[i]);
    }
    paths.primaryConfigExists = platform::FileExists(paths.primaryConfig);
    return paths;
}

std::shared_ptr<const FilterConfig> FilterConfig::Load(const Paths& paths) {
    std::shared_ptr<FilterConfig> config(new (std::nothrow) FilterConfig(paths));
    if (config) config->ReadFiles();
    return config;
}

void FilterConfig::ReadFiles() {
    // An edited file must be read as it is now, not as the platform last cached it.
    platform::FlushProfileCache(paths_.settings);
    const std::string& ini = paths_.settings;

    priority_ = PriorityFromWord(
        platform::ReadProfileString(ini, "settings", "priority", "medium", kPriorityBufferSize));
    auto setting = [&](const char* key, const char* word) {
        return text::EqualsIgnoreCase(
            platform::ReadProfileString(ini, "settings", key, "default", kValueBufferSize), word);
    };
    blockNullReferrer_ = setting("blocknullreferrer", "yes");
    // Only the word itself turns enforcing off: a misspelt value keeps blocking.
    enforce_ = !setting("enforce", "no");
    fetchMetadata_ = setting("fetchmetadata", "yes");
    allowLinks_ = setting("allowlinks", "yes");
    timeToLive_ = platform::ReadProfileInt(ini, "settings", "timetolive", 0);
    logFilePath_ = ReadLogFilePath();
    maxLogSize_ =
        static_cast<std::int32_t>(platform::ReadProfileInt(ini, "logging", "maxlogsize", 50000));

    for (const List list : kLoadOrder) lists_[list].Load(paths_.lists[list]);
    lists_[kUserAgentWhiteList].RewriteUserAgentEntries();
    lists_[kUserAgentBlackList].RewriteUserAgentEntries();
    auto pair = [&](List black, List white) {
        return SubstringMatcher({&lists_[black].Entries(), &lists_[white].Entries()});
    };
    clientLists_ = pair(kClientBlackList, kClientWhiteList);
    userAgentLists_ = pair(kUserAgentBlackList, kUserAgentWhiteList);
    referrerLists_ = pair(kReferrerBlackList, kReferrerWhiteList);
    urlLists_ = pair(kUrlBlackList, kUrlWhiteList);

    // Without "corvane.ini" the section reads as absent.
    if (paths_.primaryConfigExists) {
        const ProfileReader settings(paths_.settings);
        std::string dynamic = settings.Read("DynamicAuthorization", "DynamicAuthorization");
        if (dynamic.empty()) dynamic = settings.Read("settings", "dynamicblocking");
        dynamicAuthorization_ = text::EqualsIgnoreCase(dynamic, "on");
        useCookie_ =
            text::EqualsIgnoreCase(settings.Read("DynamicAuthorization", "usecookie"), "yes");
        store_ = StoreAddress::Parse(settings.Read("DynamicAuthorization", "store"));
    }

    // One read of the section for every blocked type, however long that list is.
    const platform::ProfileSection alternateSection(ini, "alternates");
    auto readAlternate = [&](const std::string& key) {
        std::string url = alternateSection.Read(key.c_str(), "default", kAlternateBufferSize);
        if (!url.empty() && !text::EqualsIgnoreCase(url, "default"))
            alternates_[key] = std::move(url);
    };
    for (const std::string& type : lists_[kBlockedTypes].Entries()) readAlternate(type);
    readAlternate("default");

    for (const auto& [type, url] : alternates_) {
        SplitUrlResult parts;
        if (SplitUrl(url, parts)) {
            alternateLocations_[std::string(parts.path)].emplace_back(parts.host);
        }
    }
}

std::string FilterConfig::ReadLogFilePath() const {
    const std::string& ini = paths_.settings;
    if (platform::ReadProfileString(ini, "logging", "logging", "default", kValueBufferSize) !=
        "on") {
        return {};
    }
    std::string folder =
        platform::ReadProfileString(ini, "logging", "logfolder", "default", kValueBufferSize);
    if (folder == "default") folder.clear();
    if (folder.empty()) {
        folder = InFolder(paths_.moduleFolder, "LogFiles") + platform::kPathSeparator;
    }
    if (folder.back() != platform::kPathSeparator) folder += platform::kPathSeparator;
    std::string path = folder + "pixwall.log";
    // The folder is never created: a log that cannot be opened now stays off.
    return platform::TouchFile(path) ? path : std::string();
}

bool FilterConfig::IsBlockedType(std::string_view fileType) const {
    return lists_[kBlockedTypes].ContainsExact(fileType);
}

namespace {

constexpr unsigned kBlackBit = 1;
constexpr unsigned kWhiteBit = 2;

FilterConfig::ListPair PairOf(unsigned lists) {
    return {(lists & kBlackBit) != 0, (lists & kWhiteBit) != 0};
}

}  // namespace

FilterConfig::ListPair FilterConfig::ClientLists(std::string_view clientAddress,
                                                 std::string_view clientHost) const {
    unsigned lists = clientLists_.ListsIn(clientAddress);
    if (lists != (kBlackBit | kWhiteBit)) lists |= clientLists_.ListsIn(clientHost);
    return PairOf(lists);
}

FilterConfig::ListPair FilterConfig::UserAgentLists(std::string_view userAgent) const {
    return PairOf(userAgentLists_.ListsIn(userAgent));
}

FilterConfig::ListPair FilterConfig::ReferrerLists(std::string_view referrerHost,
                                                   std::string_view serverName) const {
    ListPair pair = PairOf(referrerLists_.ListsIn(referrerHost));
    pair.white = pair.white || text::EqualsIgnoreCase(referrerHost, serverName);
    return pair;
}

FilterConfig::ListPair FilterConfig::UrlLists(std::string_view serverName,
                                              std::string_view path) const {
    return PairOf(urlLists_.ListsIn(serverName, path));
}

bool FilterConfig::IsClientBlackListed(std::string_view clientAddress,
                                       std::string_view clientHost) const {
    return ClientLists(clientAddress, clientHost).black;
}

std::string_view FilterConfig::LookupAlternate(std::string_view fileType) const {
    // Most configurations name no alternate: then there is nothing to hash the type for.
    if (alternates_.empty()) return {};
    if (auto found = alternates_.find(fileType); found != alternates_.end()) {
        return found->second;
    }
    if (auto fallback = alternates_.find("default"); fallback != alternates_.end()) {
        return fallback->second;
    }
    return {};
}

bool FilterConfig::IsAlternateResource(std::string_view serverName, std::string_view url) const {
    if (alternateLocations_.empty()) return false;
    const auto found = alternateLocations_.find(url);
    return found != alternateLocations_.end() &&
           std::find(found->second.begin(), found->second.end(), serverName) != found->second.end();
}
