#include "admission_cookie.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "filter_config.h"
#include "request_facts.h"
#include "temp_folder.h"

namespace {

constexpr const char* kAddress = "10.0.0.1";
constexpr const char* kValue = "MTAuMC4wLjE=";  // base64 of "10.0.0.1"

TEST(AdmissionCookie, HeaderCarriesTheAddressInBase64) {
    EXPECT_EQ(AdmissionCookieHeader(kAddress), "Set-Cookie: PIXWALLID=MTAuMC4wLjE=; path=/;\r\n");
    EXPECT_EQ(AdmissionCookieHeader("::1"), "Set-Cookie: PIXWALLID=Ojox; path=/;\r\n");
}

struct CookieCase {
    std::string header;
    bool admits;
};

class CookieAdmitsTest : public testing::TestWithParam<CookieCase> {};

TEST_P(CookieAdmitsTest, ForTheAddress) {
    EXPECT_EQ(CookieAdmits(GetParam().header, kAddress), GetParam().admits) << GetParam().header;
}

const std::string v = kValue;

INSTANTIATE_TEST_SUITE_P(
    Headers, CookieAdmitsTest,
    testing::Values(
        CookieCase{"PIXWALLID=" + v, true}, CookieCase{"PIXWALLID=" + v + ";", true},
        CookieCase{"a=1; PIXWALLID=" + v + "; b=2", true},
        // The first occurrence of the name, wherever it stands, then the first "=" after it.
        CookieCase{"other=PIXWALLID; PIXWALLID=" + v, true}, CookieCase{"x=PIXWALLIDy=" + v, true},
        CookieCase{"PIXWALLID=" + v + "=x", false}, CookieCase{"PIXWALLID; other=" + v, true},
        CookieCase{"other=PIXWALLID; PIXWALLID=Zm9v", false},
        // Empty, missing, blanks kept.
        CookieCase{"", false}, CookieCase{"PIXWALLID", false}, CookieCase{"PIXWALLID=", false},
        CookieCase{"PIXWALLID=; x=" + v, false}, CookieCase{"PIXWALLID= " + v, false},
        CookieCase{"PIXWALLID=" + v + " ; x=1", false}, CookieCase{"pixwallid=" + v, false},
        // Another address, or no base64 at all.
        CookieCase{"PIXWALLID=MTAuMC4wLjI=", false}, CookieCase{"PIXWALLID=MTAuMC4wLjE", false},
        CookieCase{"PIXWALLID=%%%%", false}, CookieCase{"PIXWALLID=MTAuMC4wLjEx", false},
        // The decoded text ends at its first NUL: "10.0.0.1\0zz".
        CookieCase{"PIXWALLID=MTAuMC4wLjEAeno=", true},
        // "10.0.0.1 " and "10.0.0.10" are other texts.
        CookieCase{"PIXWALLID=MTAuMC4wLjEg", false}, CookieCase{"PIXWALLID=MTAuMC4wLjEw", false}));

TEST(AdmissionCookie, AnEmptyDecodedValueNeverAdmitsAMissingAddress) {
    EXPECT_FALSE(CookieAdmits("PIXWALLID=AA==", ""));      // one NUL
    EXPECT_FALSE(CookieAdmits("PIXWALLID=AHh4eA==", ""));  // NUL, then text
}

TEST(AdmissionCookie, OnlyTheAddressItWasMadeForIsAdmitted) {
    TempFolder folder;
    folder.Write("corvane.ini", "");
    folder.Write("blocked_types.txt", "gif\n");
    folder.Write("pixwall.ini", "[DynamicAuthorization]\nusecookie=yes\n");
    const auto loaded = FilterConfig::Load(FilterConfig::Paths::Find(folder.Path()));
    const FilterConfig& config = *loaded;
    const std::string cookie = "PIXWALLID=" + v;
    auto facts = [&](std::string_view address, std::string_view header) {
        return std::make_unique<RequestFacts>(
            RequestFacts::Values{.url = "/a.gif", .clientAddress = address, .cookie = header},
            config);
    };
    EXPECT_TRUE(CookieAdmissionValid(*facts(kAddress, cookie)));
    EXPECT_FALSE(CookieAdmissionValid(*facts("10.0.0.2", cookie)));
    EXPECT_FALSE(CookieAdmissionValid(*facts(kAddress, "")));
    EXPECT_FALSE(CookieAdmissionValid(*facts("", "")));
}

}  // namespace
