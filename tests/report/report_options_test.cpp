#include "report_options.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(ReportOptionsTest, LogsOutputAndRoot) {
    std::string error;
    const auto options = ReportOptions::Parse(
        {"pixwall.1.log", "--root", "/srv/www", "-o", "out.html", "b/pixwall.log"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->logs, (Args{"pixwall.1.log", "b/pixwall.log"}));
    EXPECT_EQ(options->output, "out.html");
    EXPECT_EQ(options->root, "/srv/www");
}

TEST(ReportOptionsTest, Defaults) {
    std::string error;
    const auto options = ReportOptions::Parse({"pixwall.log"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->output, "pixwall-report.html");
    EXPECT_FALSE(options->root);
    const auto files = ReportOptions::Parse({"--", "-odd.log"}, error);
    ASSERT_TRUE(files) << error;
    EXPECT_EQ(files->logs, Args{"-odd.log"});
}

struct BadCase {
    const char* name;
    Args arguments;
    const char* error;
};

class ReportOptionsBadTest : public testing::TestWithParam<BadCase> {};

TEST_P(ReportOptionsBadTest, SaysWhatIsWrong) {
    std::string error;
    EXPECT_FALSE(ReportOptions::Parse(GetParam().arguments, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReportOptionsBadTest,
    testing::Values(BadCase{"NoLog", {}, "no log file given"},
                    BadCase{"OnlyOptions", {"-o", "x.html"}, "no log file given"},
                    BadCase{"RootWithoutFolder", {"a.log", "--root"}, "--root needs a value"},
                    BadCase{"EmptyOutput", {"a.log", "--output", ""}, "--output needs a value"},
                    BadCase{"Unknown", {"--since", "a.log"}, "unknown option --since"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
