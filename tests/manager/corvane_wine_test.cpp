// corvane.exe under Wine, end to end with the real taliscom.dll and the test metabase server: the
// failing start-up checks' message boxes, clear mode, and the deployment dialog driven from this
// process (lines and marks, greying, OK, Cancel, the restart question on Windows XP running a
// stub "iisreset" through the command interpreter). Runs on a virtual desktop under Xvfb
// (corvane_wine_test.sh) so that windows have captions; keeps a screenshot of the dialog.
#include <windows.h>
// clang-format off
#include <commctrl.h>
// clang-format on

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

constexpr const char* kClassKey = "CLSID\\{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}";
constexpr const char* kAdminBaseKey = "CLSID\\{A9E69610-B80D-11D0-B9B9-00A0C922E750}";
constexpr const char* kIisKey = "SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters";
constexpr const char* kInstallKey = "software\\orlentek\\pixwall";
constexpr int kSitesControl = 1000;  // IDC_SITES
constexpr const char* kDialogClass = "#32770";
constexpr const char* kGlobal = "Global Setting (All current and future virtual sites)";

// A file of the build folder as Wine shows it: drive Z: is the root of the file system.
std::string WinePath(const std::string& unixPath) {
    std::string path = "Z:";
    for (const char c : unixPath) path.push_back(c == '/' ? '\\' : c);
    return path;
}

DWORD RunAndWait(std::string command, DWORD timeout = 60000) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return GetLastError() | 0x10000000;
    }
    WaitForSingleObject(process.hProcess, timeout);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

void SetString(HKEY root, const char* key, const char* name, const std::string& value) {
    RegSetKeyValueA(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void SetMajorVersion(DWORD version) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kIisKey, "MajorVersion", REG_DWORD, &version,
                    sizeof version);
}

std::string Regsvr32(const char* options) {
    return std::string("regsvr32.exe /s ") + options + " \"" + WinePath(TALISCOM_DLL) + "\"";
}

// The component and the test metabase server are registered for the program's run, and removed
// with the other machine state at its end: the Wine prefix is shared with other test programs.
class MachineEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        ASSERT_EQ(RunAndWait(Regsvr32("")), 0u);
        const std::string server = std::string(kAdminBaseKey) + "\\InprocServer32";
        SetString(HKEY_CLASSES_ROOT, server.c_str(), nullptr, WinePath(METABASE_STUB_DLL));
        SetString(HKEY_CLASSES_ROOT, server.c_str(), "ThreadingModel", "Both");
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kAdminBaseKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\W3SVC");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kInstallKey);
        RunAndWait(Regsvr32("/u"));
    }
};

const auto* const environment = testing::AddGlobalTestEnvironment(new MachineEnvironment);

// A started corvane.exe.
class Corvane {
  public:
    Corvane(const std::string& folder, const std::string& arguments) {
        std::string command = "\"" + WinePath(CORVANE_EXE) + "\" " + arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        created_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  folder.c_str(), &startup, &process_) != FALSE;
        if (created_) WaitForInputIdle(process_.hProcess, 10000);
    }
    ~Corvane() {
        if (!created_) return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    Corvane(const Corvane&) = delete;
    Corvane& operator=(const Corvane&) = delete;

    // The exit status, or none when it does not end in time.
    std::optional<DWORD> Wait(DWORD timeout = 30000) {
        if (!created_ || WaitForSingleObject(process_.hProcess, timeout) != WAIT_OBJECT_0) {
            return std::nullopt;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }
    HANDLE Process() const { return process_.hProcess; }

    // A top-level window of this process with the class and caption, polled for while the
    // program starts or reacts.
    HWND FindWindowOf(const char* caption) const {
        for (int i = 0; i < 300; ++i) {
            for (HWND window = FindWindowExA(nullptr, nullptr, kDialogClass, caption);
                 window != nullptr;
                 window = FindWindowExA(nullptr, window, kDialogClass, caption)) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                if (owner == process_.dwProcessId && IsWindowVisible(window)) return window;
            }
            Sleep(100);
        }
        return nullptr;
    }

  private:
    bool created_ = false;
    PROCESS_INFORMATION process_{};
};

// The text of a message box: its static text control.
std::string BoxText(HWND box) {
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    return text;
}

// The list view of another process: items are read and set through memory in that process.
class RemoteList {
  public:
    RemoteList(HANDLE process, HWND list) : process_(process), list_(list) {
        memory_ = static_cast<char*>(
            VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteList() { VirtualFreeEx(process_, memory_, 0, MEM_RELEASE); }
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    int Count() const { return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }
    std::string Text(int item) const {
        LVITEMA request{};
        request.pszText = memory_ + sizeof(LVITEMA);
        request.cchTextMax = 1024;
        WriteProcessMemory(process_, memory_, &request, sizeof request, nullptr);
        SendMessageA(list_, LVM_GETITEMTEXTA, item, reinterpret_cast<LPARAM>(memory_));
        char text[1024] = {};
        ReadProcessMemory(process_, memory_ + sizeof(LVITEMA), text, sizeof text - 1, nullptr);
        return text;
    }
    bool Checked(int item) const {
        const auto state = SendMessageA(list_, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK);
        return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
    }
    std::vector<bool> Marks() const {
        std::vector<bool> marks;
        for (int i = 0; i < Count(); ++i) marks.push_back(Checked(i));
        return marks;
    }
    // What a click on the check box asks of the list.
    void SetChecked(int item, bool checked) const {
        LVITEMA request{};
        request.stateMask = LVIS_STATEIMAGEMASK;
        request.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
        WriteProcessMemory(process_, memory_, &request, sizeof request, nullptr);
        SendMessageA(list_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(memory_));
    }

  private:
    HANDLE process_;
    HWND list_;
    char* memory_ = nullptr;
};

// Writes the screen as a BMP file.
void SaveScreenshot(const std::string& path) {
    HDC screen = GetDC(nullptr);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    const DWORD size = stride * height;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + size;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    out.write(static_cast<const char*>(bits), size);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

// A machine with IIS 4, two sites with the filter installed at Shop, and the install folder
// holding "corvane.ini" and the filter module.
class CorvaneTest : public testing::Test {
  protected:
    void SetUp() override {
        SetMajorVersion(4);
        CopyFileA(WinePath(PIXWALL_DLL).c_str(), folder_.PathOf("pixwall.dll").c_str(), FALSE);
        folder_.Write("corvane.ini", "[settings]\r\nfiltername=pixwall\r\nfilterpath=" +
                                         folder_.PathOf("pixwall.dll") +
                                         "\r\nfilterdesc=Hot-link protection\r\n");
        folder_.Write("metabase.txt",
                      "[/lm/w3svc/1]\n1015 STRING \"Default Web Site\"\n"
                      "[/lm/w3svc/2]\n1015 STRING \"Shop\"\n"
                      "[/lm/w3svc/2/Filters]\n1002 STRING \"IIsFilters\"\n"
                      "2040 STRING \"pixwall\"\n"
                      "[/lm/w3svc/2/Filters/pixwall]\n1002 STRING \"IIsFilter\"\n"
                      "2042 DWORD 1\n");
        SetString(HKEY_LOCAL_MACHINE, kInstallKey, "install_dir", folder_.Path());
        SetEnvironmentVariableA("PIXWALL_METABASE", folder_.PathOf("metabase.txt").c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA("PIXWALL_METABASE", nullptr);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Wine", "Version");
    }

    bool InstalledAt(const std::string& key) const {
        const std::string text = folder_.Read("metabase.txt");
        return text.find("[" + key + "/Filters/pixwall]") != std::string::npos;
    }

    // Starts corvane and expects one start-up message box.
    std::string StartupMessage(const std::string& folder) {
        Corvane corvane(folder, "");
        HWND box = corvane.FindWindowOf("corvane");
        if (box == nullptr) return "(no box)";
        const std::string text = BoxText(box);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(corvane.Wait(), std::optional<DWORD>(1));
        return text;
    }

    TempFolder folder_;
};

TEST_F(CorvaneTest, AWorkingFolderWithoutTheConfigurationStopsAtItsCheck) {
    TempFolder elsewhere;
    EXPECT_EQ(StartupMessage(elsewhere.Path()),
              "The primary configuration file was not found in the current working folder.\r\n"
              "Please re-install the program and try again.");
}

TEST_F(CorvaneTest, IisThreeIsNotEnough) {
    SetMajorVersion(3);
    EXPECT_EQ(StartupMessage(folder_.Path()),
              "This computer does not have Internet Information Services (IIS) installed.\r\n"
              "Please install IIS and try again.");
}

TEST_F(CorvaneTest, AnUnregisteredComponentIsReported) {
    ASSERT_EQ(RunAndWait(Regsvr32("/u")), 0u);
    const std::string text = StartupMessage(folder_.Path());
    ASSERT_EQ(RunAndWait(Regsvr32("")), 0u);
    EXPECT_EQ(text,
              "The OrlenTek.FilterManager COM Object is not registered correctly.\r\n"
              "Please re-install and try again.");
}

TEST_F(CorvaneTest, ClearModeRemovesTheFilterEverywhereWithoutAWindow) {
    folder_.Write("metabase.txt", folder_.Read("metabase.txt") +
                                      "[/lm/w3svc/Filters]\n1002 STRING \"IIsFilters\"\n"
                                      "2040 STRING \"pixwall\"\n[/lm/w3svc/Filters/pixwall]\n"
                                      "1002 STRING \"IIsFilter\"\n2042 DWORD 1\n");
    ASSERT_TRUE(InstalledAt("/lm/w3svc"));
    Corvane corvane(folder_.Path(), "/clear");
    EXPECT_EQ(corvane.Wait(), std::optional<DWORD>(0));
    EXPECT_FALSE(InstalledAt("/lm/w3svc"));
    EXPECT_FALSE(InstalledAt("/lm/w3svc/2"));
}

TEST_F(CorvaneTest, TheDialogListsGreysAndInstallsOnOk) {
    Corvane corvane(folder_.Path(), "");
    HWND dialog = corvane.FindWindowOf("Corvane (Hot-link protection)");
    ASSERT_NE(dialog, nullptr);
    RemoteList list(corvane.Process(), GetDlgItem(dialog, kSitesControl));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Text(0), kGlobal);
    EXPECT_EQ(list.Text(1), "Default Web Site");
    EXPECT_EQ(list.Text(2), "Shop");
    EXPECT_THAT(list.Marks(), testing::ElementsAre(false, false, true));

    list.SetChecked(0, true);
    EXPECT_THAT(list.Marks(), testing::ElementsAre(true, false, true));
    // The site lines are greyed now: their marks stay and cannot be changed.
    list.SetChecked(1, true);
    list.SetChecked(2, false);
    EXPECT_THAT(list.Marks(), testing::ElementsAre(true, false, true));
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SaveScreenshot(SCREENSHOT_BMP);

    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    HWND notice = corvane.FindWindowOf("Corvane");
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(BoxText(notice),
              "You must restart the IIS web server before the new settings will take effect.");
    PostMessageA(notice, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(corvane.Wait(), std::optional<DWORD>(0));
    EXPECT_TRUE(InstalledAt("/lm/w3svc"));
    EXPECT_FALSE(InstalledAt("/lm/w3svc/2"));
}

TEST_F(CorvaneTest, TheSystemMenuCommandShowsTheAboutBox) {
    Corvane corvane(folder_.Path(), "");
    HWND dialog = corvane.FindWindowOf("Corvane (Hot-link protection)");
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_SYSCOMMAND, 16, 0);
    HWND about = corvane.FindWindowOf("About Corvane");
    ASSERT_NE(about, nullptr);
    EXPECT_NE(FindWindowExA(about, nullptr, "Static", "Corvane 1.0"), nullptr);
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 100 && IsWindow(about); ++i) Sleep(50);
    EXPECT_FALSE(IsWindow(about));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(corvane.Wait(), std::optional<DWORD>(0));
}

TEST_F(CorvaneTest, CancelChangesNothing) {
    const std::string before = folder_.Read("metabase.txt");
    Corvane corvane(folder_.Path(), "");
    HWND dialog = corvane.FindWindowOf("Corvane (Hot-link protection)");
    ASSERT_NE(dialog, nullptr);
    RemoteList list(corvane.Process(), GetDlgItem(dialog, kSitesControl));
    list.SetChecked(1, true);
    EXPECT_THAT(list.Marks(), testing::ElementsAre(false, true, true));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(corvane.Wait(), std::optional<DWORD>(0));
    EXPECT_EQ(folder_.Read("metabase.txt"), before);
}

TEST_F(CorvaneTest, OnWindowsXpYesRunsIisresetOnceThroughTheInterpreter) {
    SetString(HKEY_CURRENT_USER, "Software\\Wine", "Version", "winxp");
    folder_.Write("iisreset.bat", "@echo %*>>\"" + folder_.PathOf("restarts.txt") + "\"\r\n");
    Corvane corvane(folder_.Path(), "");
    HWND dialog = corvane.FindWindowOf("Corvane (Hot-link protection)");
    ASSERT_NE(dialog, nullptr);
    RemoteList list(corvane.Process(), GetDlgItem(dialog, kSitesControl));
    list.SetChecked(0, true);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    HWND question = corvane.FindWindowOf("Corvane");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(BoxText(question),
              "You must restart the IIS web server before the new settings will take effect."
              "\r\n\r\nDo you want to restart IIS now?");
    PostMessageA(question, WM_COMMAND, IDYES, 0);
    EXPECT_EQ(corvane.Wait(60000), std::optional<DWORD>(0));
    EXPECT_EQ(folder_.Lines("restarts.txt"), std::vector<std::string>{"/restart"});
}

}  // namespace
