#include "request_facts.h"

#include <gtest/gtest.h>

#include "fake_isapi_host.h"
#include "filter_config.h"
#include "temp_folder.h"

namespace {

struct TypeCase {
    const char* url;
    const char* type;
};

void PrintTo(const TypeCase& c, std::ostream* out) { *out << '"' << c.url << '"'; }

class FileTypeTest : public testing::TestWithParam<TypeCase> {};

TEST_P(FileTypeTest, TypeOfTheServedFile) {
    char buffer[RequestFacts::kUrlBuffer];
    EXPECT_EQ(RequestFacts::DeriveFileType(GetParam().url, buffer), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, FileTypeTest,
    testing::Values(TypeCase{"/images/logo.gif", "gif"}, TypeCase{"/pic.GIF", "gif"},
                    TypeCase{"/a/b.gif?size=2", "gif"}, TypeCase{"/a/b.gif?v=1.2", "gif"},
                    TypeCase{"/noext?x=a.gif", ""}, TypeCase{"/logo%2Egif", "gif"},
                    TypeCase{"/logo%2egIf", "gif"}, TypeCase{"/logo.gif.", "gif"},
                    TypeCase{"/logo.gif. . ", "gif"}, TypeCase{"/logo.gif%20", "gif"},
                    TypeCase{"/dir.old/readme", "old/readme"}, TypeCase{"/file.", ""},
                    TypeCase{"/noext", ""}, TypeCase{"/bad%zz.png", ""}, TypeCase{"/end%2", ""},
                    TypeCase{"/a.tar.GZ", "gz"}, TypeCase{"", ""}));

class FactsTest : public testing::Test {
  protected:
    FactsTest() {
        folder.Write("blocked_types.txt", "gif\n");
        folder.Write("corvane.ini", "");
        folder.Write("pixwall.ini",
                     "[alternates]\ngif=http://imgserver:8080/stop.gif\ndefault=/bare.gif\n"
                     "[DynamicAuthorization]\nusecookie=yes\n");
        config = FilterConfig::Load(FilterConfig::Paths::Find(folder.Path()));
    }
    RequestFacts Build(FakeRequest& request) {
        return RequestFacts(request.Context(), request.Headers(), *config);
    }

    TempFolder folder;
    std::shared_ptr<const FilterConfig> config;
};

TEST_F(FactsTest, ValuesAreTakenAsSent) {
    FakeRequest request;
    request.Server("ImgServer")
        .Url("/A/Logo.GIF?Q=1")
        .Client("10.1.2.3", "Client.Example")
        .Referrer("http://WWW.Leech.NET:8080/page?x=1")
        .UserAgent("Agent/1.0")
        .Cookie("PIXWALLID=x");
    const RequestFacts facts = Build(request);
    EXPECT_FALSE(facts.urlMissing);
    EXPECT_EQ(facts.serverName, "ImgServer");
    EXPECT_EQ(facts.url, "/A/Logo.GIF?Q=1");
    EXPECT_EQ(facts.clientAddress, "10.1.2.3");
    EXPECT_EQ(facts.clientHost, "Client.Example");
    EXPECT_EQ(facts.referrerHost, "WWW.Leech.NET");
    EXPECT_EQ(facts.userAgent, "Agent/1.0");
    EXPECT_EQ(facts.fileType, "gif");
    EXPECT_TRUE(facts.isProtected);
    EXPECT_FALSE(facts.isExempt);
    EXPECT_EQ(facts.alternateUrl, "http://imgserver:8080/stop.gif");
    EXPECT_EQ(facts.cookieHeader, "PIXWALLID=x");
    EXPECT_EQ(request.VariablesAsked(),
              (std::vector<std::string>{"SERVER_NAME", "url", "REMOTE_ADDR", "REMOTE_HOST",
                                        "HTTP_REFERER", "User-Agent:", "Cookie:"}));
}

TEST_F(FactsTest, TheCookieIsReadOnlyWhereItCanDecide) {
    FakeRequest page;
    page.Server("s").Url("/index.html").Cookie("PIXWALLID=x");
    const RequestFacts facts = Build(page);
    EXPECT_EQ(facts.cookieHeader, "");
    EXPECT_EQ(page.VariablesAsked().back(), "User-Agent:");
}

TEST_F(FactsTest, ValuesAtHandAreTakenAsTheServerWouldHandThemOver) {
    const std::string longAgent(RequestFacts::kUserAgentBuffer, 'a');
    const RequestFacts facts(
        RequestFacts::Values{.serverName = "imgserver",
                             .url = "/a/B.GIF",
                             .clientAddress = std::string_view("1.2.3.4\0x", 9),
                             .referrer = "http://Leech.net:80/x",
                             .userAgent = longAgent,
                             .cookie = "PIXWALLID=y"},
        *config);
    EXPECT_EQ(facts.serverName, "imgserver");
    EXPECT_EQ(facts.clientAddress, "1.2.3.4");
    EXPECT_EQ(facts.referrerHost, "Leech.net");
    EXPECT_EQ(facts.userAgent, "");
    EXPECT_EQ(facts.fileType, "gif");
    EXPECT_EQ(facts.cookieHeader, "PIXWALLID=y");
    EXPECT_TRUE(RequestFacts(RequestFacts::Values{.url = ""}, *config).urlMissing);
    EXPECT_TRUE(
        RequestFacts(RequestFacts::Values{.url = std::string(RequestFacts::kUrlBuffer, 'a')},
                     *config)
            .urlMissing);
}

TEST_F(FactsTest, AlternateIsExemptOnlyUnderItsOwnHostAndPath) {
    FakeRequest own;
    own.Server("imgserver").Url("/stop.gif");
    const RequestFacts exempt = Build(own);
    EXPECT_TRUE(exempt.isExempt);
    EXPECT_EQ(exempt.alternateUrl, "");

    FakeRequest otherCase;
    otherCase.Server("IMGSERVER").Url("/stop.gif");
    EXPECT_FALSE(Build(otherCase).isExempt);

    FakeRequest query;
    query.Server("imgserver").Url("/stop.gif?x");
    EXPECT_FALSE(Build(query).isExempt);

    // A bare path is no URL: it never makes a request exempt.
    FakeRequest bare;
    bare.Server("imgserver").Url("/bare.gif");
    EXPECT_FALSE(Build(bare).isExempt);
}

struct LimitCase {
    const char* variable;  // server variable or header name
    std::size_t length;
    bool kept;
};

void PrintTo(const LimitCase& c, std::ostream* out) { *out << c.variable << " " << c.length; }

class BufferLimitTest : public FactsTest, public testing::WithParamInterface<LimitCase> {};

TEST_P(BufferLimitTest, ValuesThatDoNotFitAreEmpty) {
    const LimitCase& c = GetParam();
    const std::string value(c.length, 'a');
    FakeRequest request;
    request.Server("s").Url("/x.gif").Client("1.1.1.1", "h").UserAgent("u").Referrer("http://r/");
    const std::string name = c.variable;
    std::string expected = c.kept ? value : "";
    if (name == "User-Agent:") {
        request.UserAgent(value);
    } else if (name == "Cookie:") {
        request.Cookie(value);
    } else if (name == "HTTP_REFERER") {
        request.Referrer("http://" + value.substr(7));
        expected = c.kept ? value.substr(7) : "";
    } else {
        request.Variable(name, value);
    }
    const RequestFacts facts = Build(request);
    const std::string_view actual = name == "SERVER_NAME"   ? facts.serverName
                                    : name == "REMOTE_ADDR" ? facts.clientAddress
                                    : name == "REMOTE_HOST" ? facts.clientHost
                                    : name == "User-Agent:" ? facts.userAgent
                                    : name == "Cookie:"     ? facts.cookieHeader
                                                            : facts.referrerHost;
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, BufferLimitTest,
    testing::Values(LimitCase{"SERVER_NAME", 254, true}, LimitCase{"SERVER_NAME", 255, false},
                    LimitCase{"REMOTE_ADDR", 15, true}, LimitCase{"REMOTE_ADDR", 16, true},
                    LimitCase{"REMOTE_ADDR", 17, true}, LimitCase{"REMOTE_ADDR", 47, true},
                    LimitCase{"REMOTE_ADDR", 48, true},
                    LimitCase{"REMOTE_ADDR", 39, true},  // the longest IPv6 text
                    LimitCase{"REMOTE_ADDR", 63, true}, LimitCase{"REMOTE_ADDR", 64, false},
                    LimitCase{"REMOTE_HOST", 40, true}, LimitCase{"REMOTE_HOST", 255, true},
                    LimitCase{"REMOTE_HOST", 256, false}, LimitCase{"User-Agent:", 511, true},
                    LimitCase{"User-Agent:", 512, false}, LimitCase{"HTTP_REFERER", 2082, true},
                    // A long Referer is read again in full: its host is always judged.
                    LimitCase{"HTTP_REFERER", 2083, true}, LimitCase{"HTTP_REFERER", 65535, true},
                    LimitCase{"HTTP_REFERER", 65536, false}, LimitCase{"Cookie:", 4095, true},
                    LimitCase{"Cookie:", 4096, false}, LimitCase{"Cookie:", 10000, false}));

// A server hands a value over up to its NUL; where the text ends inside the buffer, around its
// sixteen-byte steps included, is where the value ends.
TEST_F(FactsTest, AValueEndsAtItsFirstNul) {
    for (const std::size_t nul : {0, 1, 15, 16, 17, 31, 32, 33, 100}) {
        std::string agent(120, 'a');
        agent[nul] = '\0';
        FakeRequest request;
        request.Server("s").Url("/x.gif").UserAgent(agent);
        EXPECT_EQ(Build(request).userAgent, std::string(nul, 'a')) << "NUL at " << nul;
    }
}

TEST_F(FactsTest, MissingValuesAreEmpty) {
    FakeRequest request;
    request.Url("/x.gif");
    const RequestFacts facts = Build(request);
    EXPECT_FALSE(facts.urlMissing);
    EXPECT_EQ(facts.serverName, "");
    EXPECT_EQ(facts.clientAddress, "");
    EXPECT_EQ(facts.referrerHost, "");
    EXPECT_EQ(facts.userAgent, "");
}

TEST_F(FactsTest, MissingUrlLeavesEverythingElseEmpty) {
    FakeRequest request;
    request.Server("s").Client("1.1.1.1").UserAgent("u");
    const RequestFacts facts = Build(request);
    EXPECT_TRUE(facts.urlMissing);
    EXPECT_EQ(facts.clientAddress, "");
    EXPECT_EQ(facts.userAgent, "");
}

}  // namespace
