// The module as the server sees it: loaded from a folder, called only through its exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "fake_isapi_host.h"
#include "filter_module_copy.h"
#include "platform/paths.h"
#include "temp_folder.h"

namespace {

using Lines = std::vector<std::string>;

class ExportsTest : public testing::Test {
  protected:
    void WriteSettings(const std::string& subfolder = "") {
        const std::string prefix = subfolder.empty() ? "" : subfolder + "/";
        folder.Write(prefix + "LogFiles/keep", "");
        folder.Write(prefix + "corvane.ini", "[settings]\n");
        folder.Write(prefix + "blocked_types.txt", "gif\n");
        folder.Write(prefix + "client_blacklist.txt", "10.9.9.9\n");
        folder.Write(prefix + "pixwall.ini",
                     "[settings]\npriority=high\n[logging]\nlogging=on\n"
                     "[alternates]\ngif=http://imgserver/stop.gif\n");
    }
    Lines Log(const std::string& subfolder = "") const {
        return LogMessages(
            folder.Lines((subfolder.empty() ? "" : subfolder + "/") + "LogFiles/pixwall.log"));
    }

    TempFolder folder;
};

TEST_F(ExportsTest, StartsFromItsOwnFolderAndStopsAtUnload) {
    WriteSettings();
    {
        FilterModuleCopy module(folder.Path(), FilterModuleCopy::FileName());
        ASSERT_TRUE(module.Loaded());
        HTTP_FILTER_VERSION version{};
        version.dwServerFilterVersion = 0x60000;
        ASSERT_TRUE(module.GetFilterVersion(&version));
        EXPECT_EQ(version.dwFlags, 0x84003u);
        EXPECT_EQ(version.dwFilterVersion, 0x40000u);
        EXPECT_STREQ(version.lpszFilterDesc, "Pixwall Filter");

        FakeRequest blocked;
        blocked.Server("imgserver").Url("/a.gif").Client("10.9.9.9");
        EXPECT_EQ(
            module.HttpFilterProc(blocked.Context(), SF_NOTIFY_PREPROC_HEADERS, blocked.Headers()),
            static_cast<DWORD>(SF_STATUS_REQ_HANDLED_NOTIFICATION));
        ASSERT_EQ(blocked.Sent().size(), 1u);
        EXPECT_EQ(blocked.Sent()[0].status, "302 Object Moved");
        EXPECT_EQ(blocked.Sent()[0].extraHeaders, "Location: http://imgserver/stop.gif\n");
        EXPECT_EQ(blocked.AddedHeaders(), "Expires: 0\n");

        FakeRequest page;
        page.Server("imgserver").Url("/index.html").Client("10.0.0.1");
        EXPECT_EQ(module.HttpFilterProc(page.Context(), SF_NOTIFY_PREPROC_HEADERS, page.Headers()),
                  static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));
    }
    EXPECT_EQ(
        Log(),
        (Lines{"Pixwall for IIS started", "Blocking /a.gif : Client 10.9.9.9 is black listed",
               "Sending alternate resource for /a.gif",
               "Allowing /index.html : No block rules for 10.0.0.1", "Pixwall for IIS stopped"}));
}

TEST_F(ExportsTest, OtherNotificationsPassUntouched) {
    WriteSettings();
    FilterModuleCopy module(folder.Path(), FilterModuleCopy::FileName());
    ASSERT_TRUE(module.Loaded());
    HTTP_FILTER_VERSION version{};
    module.GetFilterVersion(&version);
    for (const DWORD type : {0u, 0x1000u, 0x200u, 0x80u, 0x4001u, 0xFFFFFFFFu}) {
        FakeRequest request;
        request.Server("imgserver").Url("/a.gif").Client("10.9.9.9");
        EXPECT_EQ(module.HttpFilterProc(request.Context(), type, request.Headers()),
                  static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION))
            << type;
        EXPECT_TRUE(request.VariablesAsked().empty());
        EXPECT_TRUE(request.Sent().empty());
    }
    EXPECT_EQ(Log(), Lines{"Pixwall for IIS started"});
}

TEST_F(ExportsTest, TheFolderIsTheOneThatHoldsTheModuleWhateverItsName) {
    const std::string dot = std::string(FilterModuleCopy::FileName()).substr(7);  // ".so"/".dll"
    const struct {
        const char* name;
        std::string subfolder;  // where the module and its settings lie
        std::string fileName;
    } cases[] = {
        // A folder that carries the module's own file name is a folder like any other.
        {"nested", FilterModuleCopy::FileName(), FilterModuleCopy::FileName()},
        {"other case", "upper", "Pixwall" + dot},
        {"new version beside the old", "v2", "pixwall-v2" + dot},
        {"other name", "x64", "pixwall_x64" + dot},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings(c.subfolder);
        {
            FilterModuleCopy module(folder.PathOf(c.subfolder), c.fileName);
            ASSERT_TRUE(module.Loaded());
            HTTP_FILTER_VERSION version{};
            EXPECT_TRUE(module.GetFilterVersion(&version));
            EXPECT_EQ(version.dwFlags, 0x84003u);  // priority=high read from its folder
        }
        EXPECT_EQ(Log(c.subfolder), (Lines{"Pixwall for IIS started", "Pixwall for IIS stopped"}));
    }
}

TEST_F(ExportsTest, AnEditedListIsPickedUpByTheNextRequestAndTheStopLineComesLast) {
    WriteSettings();
    const std::string ruling = "Allowing /a.gif : No block rules for 10.0.0.5";
    const std::string newRuling = "Blocking /a.gif : Client 10.0.0.5 is black listed";
    {
        FilterModuleCopy module(folder.Path(), FilterModuleCopy::FileName());
        ASSERT_TRUE(module.Loaded());
        HTTP_FILTER_VERSION version{};
        ASSERT_TRUE(module.GetFilterVersion(&version));
        auto send = [&] {
            FakeRequest request;
            request.Server("imgserver").Url("/a.gif").Client("10.0.0.5");
            return module.HttpFilterProc(request.Context(), SF_NOTIFY_PREPROC_HEADERS,
                                         request.Headers());
        };
        EXPECT_EQ(send(), static_cast<DWORD>(SF_STATUS_REQ_NEXT_NOTIFICATION));

        folder.Write("client_blacklist.txt", "10.9.9.9\n10.0.0.5\n");
        // The report reaches the module on its own thread: ask until the decision changes.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (send() == SF_STATUS_REQ_NEXT_NOTIFICATION &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(send(), static_cast<DWORD>(SF_STATUS_REQ_HANDLED_NOTIFICATION));
    }
    const Lines lines = Log();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front(), "Pixwall for IIS started");
    EXPECT_EQ(lines.back(), "Pixwall for IIS stopped");
    // Every request before the rebuild went by the old list; the one after it by the new.
    const auto firstBlock = std::find(lines.begin(), lines.end(), newRuling);
    ASSERT_NE(firstBlock, lines.end());
    EXPECT_EQ(*(firstBlock - 1), "Rebuilding configuration due to changes");
    for (auto line = lines.begin() + 1; line != firstBlock - 1; ++line) {
        EXPECT_TRUE(*line == ruling || *line == "Rebuilding configuration due to changes") << *line;
    }
}

}  // namespace
