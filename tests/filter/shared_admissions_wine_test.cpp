// Two processes that load pixwall.dll from one folder, as the worker processes of an IIS web
// garden do, see each other's admissions.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "fake_isapi_host.h"
#include "filter_module_copy.h"
#include "temp_folder.h"

namespace {

// Runs the visitor program against the folder; its exit code.
DWORD Visit(const std::string& folder, const std::string& what, const std::string& address) {
    std::string command =
        std::string("\"") + PIXWALL_VISITOR + "\" \"" + folder + "\" " + what + " " + address;
    if (command[1] == '/') command.insert(1, "Z:");  // the build tree, seen from Wine
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return 100;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 101;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD Request(const FilterModuleCopy& module, const std::string& url, const std::string& from) {
    FakeRequest request;
    request.Server("imgserver").Url(url).Client(from);
    return module.HttpFilterProc(request.Context(), SF_NOTIFY_PREPROC_HEADERS, request.Headers());
}

TEST(SharedAdmissions, TwoProcessesLoadingTheModuleFromOneFolderShareAdmissions) {
    constexpr DWORD kAllowed = 0;
    constexpr DWORD kBlocked = 1;
    TempFolder folder;
    folder.Write("LogFiles/keep", "");
    folder.Write("corvane.ini", "[settings]\n");
    folder.Write("blocked_types.txt", "gif\n");
    folder.Write("pixwall.ini",
                 "[settings]\ntimetolive=600\n[DynamicAuthorization]\nDynamicAuthorization=on\n"
                 "[logging]\nlogging=on\n");
    FilterModuleCopy module(folder.Path(), FilterModuleCopy::FileName());
    ASSERT_TRUE(module.Loaded());
    HTTP_FILTER_VERSION version{};
    version.dwServerFilterVersion = 0x60000;
    ASSERT_TRUE(module.GetFilterVersion(&version));

    // A page here admits the image there, and the other way round; no cookie is involved.
    ASSERT_EQ(Request(module, "/index.html", "10.1.2.3"), SF_STATUS_REQ_NEXT_NOTIFICATION);
    EXPECT_EQ(Visit(folder.Path(), "image", "10.1.2.3"), kAllowed);
    EXPECT_EQ(Visit(folder.Path(), "image", "10.1.2.4"), kBlocked);
    EXPECT_EQ(Visit(folder.Path(), "page", "10.1.2.4"), kAllowed);
    EXPECT_EQ(Request(module, "/images/cat.gif", "10.1.2.4"), SF_STATUS_REQ_NEXT_NOTIFICATION);
    // Blocked: no alternate is set, so "404 Not Found" finishes the request.
    EXPECT_EQ(Request(module, "/images/cat.gif", "10.1.2.5"), SF_STATUS_REQ_FINISHED);
    module.Unload();
}

}  // namespace
