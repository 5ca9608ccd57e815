// The request pipeline end to end: a random configuration and random requests through the
// filter's request handler behind the fake ISAPI host, checked against what must hold for every
// request whatever it carries.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "fake_isapi_host.h"
#include "filter_config.h"
#include "fuzz_check.h"
#include "hotlink_filter.h"
#include "request_facts.h"
#include "temp_folder.h"

namespace {

constexpr const char* kListFiles[] = {
    "blocked_types.txt",    "referrer_whitelist.txt", "referrer_blacklist.txt",
    "client_whitelist.txt", "client_blacklist.txt",   "ua_whitelist.txt",
    "ua_blacklist.txt",     "url_whitelist.txt",      "url_blacklist.txt"};
constexpr const char* kLogs[] = {"LogFiles/pixwall.log", "LogFiles/pixwall.1.log"};

// A setting's value on one line of the ini file.
std::string OneLine(FuzzedDataProvider& input, std::size_t maxLength) {
    std::string value = input.ConsumeRandomLengthString(maxLength);
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return value;
}

std::string Choice(FuzzedDataProvider& input, const char* yes, const char* no) {
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return yes;
        case 1:
            return no;
        default:
            return OneLine(input, 12);
    }
}

// The module folder's files for one configuration, by name.
std::vector<std::pair<std::string, std::string>> ConsumeConfiguration(FuzzedDataProvider& input) {
    std::vector<std::pair<std::string, std::string>> files;
    std::string ini =
        "[settings]\nblocknullreferrer=" + Choice(input, "yes", "no") +
        "\npriority=" + Choice(input, "high", "low") +
        "\ntimetolive=" + std::to_string(input.ConsumeIntegralInRange(0, 100)) +
        "\n[DynamicAuthorization]\nDynamicAuthorization=" + Choice(input, "on", "off") +
        "\nusecookie=" + Choice(input, "yes", "no") +
        "\n[alternates]\ndefault=" + OneLine(input, 100) + "\njpg=" + OneLine(input, 100) + "\n" +
        OneLine(input, 8) + "=" + OneLine(input, 100) + "\n[logging]\nlogging=on\nmaxlogsize=" +
        std::to_string(input.ConsumeIntegralInRange(0, 4000)) + "\n";
    files.emplace_back("pixwall.ini", std::move(ini));
    for (const char* list : kListFiles) {
        files.emplace_back(list, input.ConsumeRandomLengthString(80));
    }
    return files;
}

// The filter, started once; a new configuration is written over the old files and rebuilt, as
// an edit by hand would be.
class Pipeline {
  public:
    HotlinkFilter& Configure(const std::vector<std::pair<std::string, std::string>>& files) {
        if (filter_ && files == files_) return *filter_;
        folder_.Write("corvane.ini", "[settings]\nfiltername=pixwall\n");
        folder_.Write("LogFiles/readme.txt", "the log is written only to a folder that exists\n");
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (i >= files_.size() || files_[i] != files[i]) {
                folder_.Write(files[i].first, files[i].second);
            }
        }
        files_ = files;
        if (filter_) {
            filter_->RebuildConfiguration();
        } else {
            filter_ = std::make_unique<HotlinkFilter>([] { return std::int64_t{1000000}; });
            HTTP_FILTER_VERSION version{};
            FUZZ_CHECK(filter_->GetFilterVersion(&version, folder_.Path()) == TRUE);
            // The start line, in the log or its backup: the log is on.
            FUZZ_CHECK(!folder_.Read(kLogs[0]).empty() || !folder_.Read(kLogs[1]).empty());
        }
        return *filter_;
    }

    // Every line of the logs is whole and starts with a time stamp ("12/31/05 23:59:58 : ").
    void CheckLogs() const {
        for (const char* log : kLogs) {
            const std::string text = folder_.Read(log);
            if (text.empty()) continue;
            FUZZ_CHECK(text.back() == '\n');
            for (std::size_t start = 0; start < text.size();) {
                const std::size_t end = text.find('\n', start);
                CheckLine(std::string_view(text).substr(start, end - start));
                start = end + 1;
            }
        }
    }

  private:
    static void CheckLine(std::string_view line) {
        constexpr std::string_view kShape = "00/00/00 00:00:00 : ";
        FUZZ_CHECK(line.size() >= kShape.size());
        for (std::size_t i = 0; i < kShape.size(); ++i) {
            if (kShape[i] == '0') {
                FUZZ_CHECK(line[i] >= '0' && line[i] <= '9');
            } else {
                FUZZ_CHECK(line[i] == kShape[i]);
            }
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        FUZZ_CHECK(line.find('\r') == std::string_view::npos);
    }

    TempFolder folder_;
    std::vector<std::pair<std::string, std::string>> files_;
    std::unique_ptr<HotlinkFilter> filter_;
};

bool IsConfiguredAlternate(const FilterConfig& config, std::string_view url) {
    for (const auto& [type, alternate] : config.alternates()) {
        if (alternate == url) return true;
    }
    return false;
}

void CheckRequest(const FilterConfig& config, FakeRequest& request, DWORD status) {
    FUZZ_CHECK(status == SF_STATUS_REQ_NEXT_NOTIFICATION || status == SF_STATUS_REQ_ERROR ||
               status == SF_STATUS_REQ_FINISHED || status == SF_STATUS_REQ_HANDLED_NOTIFICATION);
    const bool answered =
        status == SF_STATUS_REQ_FINISHED || status == SF_STATUS_REQ_HANDLED_NOTIFICATION;
    FUZZ_CHECK(request.Sent().size() == (answered ? 1u : 0u));
    if (status == SF_STATUS_REQ_FINISHED) {
        FUZZ_CHECK(request.Sent()[0].status == "404 Not Found");
    }
    if (status == SF_STATUS_REQ_HANDLED_NOTIFICATION) {
        const FakeRequest::SentResponse& sent = request.Sent()[0];
        FUZZ_CHECK(sent.status == "302 Object Moved");
        constexpr std::string_view kLocation = "Location: ";
        FUZZ_CHECK(sent.extraHeaders.starts_with(kLocation) && sent.extraHeaders.ends_with("\n"));
        const std::string_view target =
            std::string_view(sent.extraHeaders)
                .substr(kLocation.size())
                .substr(0, sent.extraHeaders.size() - kLocation.size() - 1);
        FUZZ_CHECK(!target.empty() && IsConfiguredAlternate(config, target));
    }
    const RequestFacts facts(request.Context(), request.Headers(), config);
    if (facts.urlMissing) FUZZ_CHECK(status == SF_STATUS_REQ_ERROR);
    const bool blackListedImage = !facts.urlMissing && !facts.isExempt &&
                                  config.IsBlockedType(facts.fileType) &&
                                  config.IsClientBlackListed(facts.clientAddress, facts.clientHost);
    if (blackListedImage) FUZZ_CHECK(answered);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Pipeline pipeline;
    FuzzedDataProvider input(data, size);
    HotlinkFilter& filter = pipeline.Configure(ConsumeConfiguration(input));

    for (int count = 0; count < 4 && input.remaining_bytes() > 0; ++count) {
        FakeRequest request;
        const std::uint8_t present = input.ConsumeIntegral<std::uint8_t>();
        // Each value may run past the buffer the filter reads it into.
        if (present & 1) request.Server(input.ConsumeRandomLengthString(300));
        if (present & 2) request.Url(input.ConsumeRandomLengthString(2200));
        if (present & 4) {
            request.Client(input.ConsumeRandomLengthString(80),
                           input.ConsumeRandomLengthString(300));
        }
        if (present & 8) request.Referrer(input.ConsumeRandomLengthString(2200));
        if (present & 16) request.UserAgent(input.ConsumeRandomLengthString(600));
        if (present & 32) request.Cookie(input.ConsumeRandomLengthString(4200));
        const DWORD status = filter.HandleRequestHeaders(request.Context(), request.Headers());
        const auto config = filter.Configuration();
        FUZZ_CHECK(config);
        CheckRequest(*config, request, status);
    }
    pipeline.CheckLogs();
    return 0;
}
