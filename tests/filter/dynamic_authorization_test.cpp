// Step 11 of the pipeline: pages admit their clients (and hand out the cookie), protected files
// are let through for admitted clients and for the cookie, and blocked otherwise.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "filter_fixture.h"
#include "machine_admission_table.h"
#include "platform/shared_memory.h"

namespace {

using Lines = std::vector<std::string>;

constexpr const char* kClient = "10.0.0.1";
constexpr const char* kCookie = "PIXWALLID=MTAuMC4wLjE=";  // made for 10.0.0.1
constexpr const char* kSetCookie = "Set-Cookie: PIXWALLID=MTAuMC4wLjE=; path=/;\r\n";

class DynamicAuthorization : public testing::Test {
  protected:
    void StartWith(int timeToLive, bool useCookie) {
        const std::string settings =
            "[settings]\ntimetolive=" + std::to_string(timeToLive) +
            "\n[DynamicAuthorization]\nDynamicAuthorization=on\nusecookie=" +
            (useCookie ? "yes" : "no") + "\n[logging]\nlogging=on\n";
        fixture = std::make_unique<FilterFixture>(
            std::map<std::string, std::string>{{"pixwall.ini", settings},
                                               {"blocked_types.txt", "gif\n"},
                                               {"client_blacklist.txt", "10.6.6.6\n"}},
            true, [this] { return now; });
        fixture->NewLogMessages();  // the start line
    }
    std::unique_ptr<FakeRequest> Page(const std::string& client = kClient) {
        auto page = FilterFixture::Request("/index.html", client);
        EXPECT_EQ(fixture->Send(*page), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
        return page;
    }
    DWORD Image(const std::string& client = kClient, const char* cookie = nullptr) {
        auto image = FilterFixture::Request("/img/logo.gif", client);
        if (cookie) image->Cookie(cookie);
        return fixture->Send(*image);
    }
    Lines NewLines() { return fixture->NewLogMessages(); }
    Admissions& Table() { return *fixture->Filter().LocalAdmissions(); }

    std::int64_t now = 1'136'073'600;
    std::unique_ptr<FilterFixture> fixture;
};

const Lines kGranted = {"Allowing /img/logo.gif : Dynamic access granted for 10.0.0.1"};
const Lines kDenied = {"Blocking /img/logo.gif : Dynamic access denied for 10.0.0.1"};
const Lines kCookieGranted = {
    "Allowing /img/logo.gif : Dynamic access (cookie) granted for 10.0.0.1"};

TEST_F(DynamicAuthorization, APageAdmitsItsClientForTheTimeToLive) {
    StartWith(60, false);
    EXPECT_EQ(Image(), static_cast<DWORD>(SF_STATUS_REQ_FINISHED));
    EXPECT_EQ(NewLines(), kDenied);

    const auto page = Page();
    EXPECT_EQ(NewLines(), Lines{});       // pages write nothing
    EXPECT_EQ(page->AddedHeaders(), "");  // and without the cookie set nothing
    now += 60;
    EXPECT_EQ(Image(), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    EXPECT_EQ(NewLines(), kGranted);

    now += 1;
    EXPECT_EQ(Image(), static_cast<DWORD>(SF_STATUS_REQ_FINISHED));
    EXPECT_EQ(NewLines(), kDenied);
    EXPECT_EQ(Table().Size(), 0u);  // the expired entry went

    Page();
    EXPECT_EQ(Image(), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    EXPECT_EQ(NewLines(), kGranted);
}

TEST_F(DynamicAuthorization, ATargetTheServerRefusesAdmitsNobody) {
    StartWith(60, false);
    const auto refused = FilterFixture::Request("/img/../../index.html", kClient);
    EXPECT_EQ(fixture->Send(*refused), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    EXPECT_EQ(Image(), static_cast<DWORD>(SF_STATUS_REQ_FINISHED));
}

TEST_F(DynamicAuthorization, ATimeToLiveOfZeroAdmitsWithinTheSameSecondOnly) {
    StartWith(0, false);
    Page();
    EXPECT_EQ(Image(), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    now += 1;
    EXPECT_EQ(Image(), static_cast<DWORD>(SF_STATUS_REQ_FINISHED));
    EXPECT_EQ(NewLines(), (Lines{kGranted[0], kDenied[0]}));
}

TEST_F(DynamicAuthorization, APageHandsOutTheCookieWhenItIsOn) {
    StartWith(60, true);
    const auto page = Page();
    EXPECT_EQ(page->AddedHeaders(), kSetCookie);
    EXPECT_TRUE(page->Sent().empty());
    EXPECT_EQ(NewLines(), Lines{});
    EXPECT_EQ(Table().Addresses(), Lines{kClient});
}

TEST_F(DynamicAuthorization, ABlackListedClientIsNeitherAdmittedNorGivenTheCookie) {
    StartWith(60, true);
    const auto page = Page("10.6.6.6");
    EXPECT_EQ(page->AddedHeaders(), "");
    EXPECT_EQ(Table().Size(), 0u);
    EXPECT_EQ(NewLines(), Lines{});
}

TEST_F(DynamicAuthorization, TheCookieAdmitsTheAddressItWasMadeForWithoutTheTable) {
    StartWith(60, true);
    EXPECT_EQ(Image(kClient, kCookie), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    EXPECT_EQ(NewLines(), kCookieGranted);
    EXPECT_EQ(Table().Size(), 0u);

    // It knows no time limit.
    now += 100000;
    EXPECT_EQ(Image(kClient, kCookie), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    EXPECT_EQ(NewLines(), kCookieGranted);

    // From another address the table decides.
    EXPECT_EQ(Image("10.0.0.2", kCookie), static_cast<DWORD>(SF_STATUS_REQ_FINISHED));
    Page("10.0.0.2");
    EXPECT_EQ(Image("10.0.0.2", kCookie), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    EXPECT_EQ(NewLines(), (Lines{"Blocking /img/logo.gif : Dynamic access denied for 10.0.0.2",
                                 "Allowing /img/logo.gif : Dynamic access granted for 10.0.0.2"}));
}

TEST_F(DynamicAuthorization, TheCookieCountsOnlyWhenItIsOn) {
    StartWith(60, false);
    EXPECT_EQ(Image(kClient, kCookie), static_cast<DWORD>(SF_STATUS_REQ_FINISHED));
    EXPECT_EQ(NewLines(), kDenied);
}

TEST_F(DynamicAuthorization, AMalformedCookieFallsBackToTheTable) {
    StartWith(60, true);
    Page();
    for (const char* cookie :
         {"PIXWALLID=", "PIXWALLID=MTAuMC4wLjE", "PIXWALLID=*&^%", "PIXWALLID"}) {
        EXPECT_EQ(Image(kClient, cookie), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
        EXPECT_EQ(NewLines(), kGranted) << cookie;
    }
}

#ifndef _WIN32  // a file that a process maps cannot give way to a folder there
TEST_F(DynamicAuthorization, WithoutTheSharedMemoryThisProcessKeepsItsOwnAdmissionsAndSaysSo) {
    StartWith(60, false);
    const std::string place = platform::SharedMemory::PlaceFor(fixture->Folder().Path(),
                                                               MachineAdmissionTable::kFileName);
    std::filesystem::remove(place);
    std::filesystem::create_directory(place);  // something else in its place
    testing::internal::CaptureStderr();
    HTTP_FILTER_VERSION version{};
    fixture->Filter().GetFilterVersion(&version, fixture->Folder().Path());  // started again
    EXPECT_NE(testing::internal::GetCapturedStderr().find(place), std::string::npos);
    std::filesystem::remove(place);
    Page();
    EXPECT_EQ(Image(), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
}
#endif

}  // namespace
