// pixwall-setup.exe under Wine: a silent install into a temporary folder and what it leaves on
// the machine (files, "corvane.ini", the install_dir value, the component's registration, the
// Start menu shortcut, the Programs and Features entry); the filter installed at a site through
// the installed component and taken out again by the uninstaller, which keeps logs and edited
// lists; and an upgrade over an edited installation. The metabase is the test-only COM server,
// registered under the IIS Admin Base Object's class identifier for the program's run. The build
// installed is the one of this test program's bitness; under 64-bit Wine, /X86 installs the
// other.
#include <windows.h>
// clang-format off
#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <initguid.h>
#include "taliscom_idl.h"
// clang-format on

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

using testing::HasSubstr;
using testing::Not;
using testing::UnorderedElementsAre;

constexpr const char* kAdminBaseKey = "CLSID\\{A9E69610-B80D-11D0-B9B9-00A0C922E750}";
constexpr const char* kClassKey = "CLSID\\{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}";
constexpr const char* kIisKey = "SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters";
constexpr const char* kInstallKey = "Software\\orlentek\\pixwall";
constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pixwall";
constexpr DWORD kWait = 120000;

const std::vector<std::string> kConfigFiles = {"pixwall.ini",
                                               "blocked_types.txt",
                                               "referrer_whitelist.txt",
                                               "referrer_blacklist.txt",
                                               "client_whitelist.txt",
                                               "client_blacklist.txt",
                                               "ua_whitelist.txt",
                                               "ua_blacklist.txt",
                                               "url_whitelist.txt",
                                               "url_blacklist.txt"};

// A file of the build folder as Wine shows it: drive Z: is the root of the file system.
std::string WinePath(const std::string& unixPath) {
    std::string path = "Z:";
    for (const char c : unixPath) path.push_back(c == '/' ? '\\' : c);
    return path;
}

DWORD RunAndWait(std::string command) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return GetLastError() | 0x10000000;
    }
    if (WaitForSingleObject(process.hProcess, kWait) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Which build an installed program belongs to: SCS_32BIT_BINARY or SCS_64BIT_BINARY.
DWORD BinaryType(const std::string& program) {
    DWORD type = 0xffff;
    GetBinaryTypeA(program.c_str(), &type);
    return type;
}
constexpr DWORD kThisBuild = sizeof(void*) == 8 ? SCS_64BIT_BINARY : SCS_32BIT_BINARY;

// view: 0, or KEY_WOW64_32KEY for what 32-bit processes see on 64-bit Windows.
std::optional<std::string> ReadString(HKEY root, const char* key, const char* name,
                                      DWORD view = 0) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const LONG status = RegGetValueA(opened, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(buffer);
}

bool KeyExists(HKEY root, const char* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::string IniValue(const std::string& file, const char* key) {
    char buffer[512] = {};
    GetPrivateProfileStringA("settings", key, "(absent)", buffer, sizeof buffer, file.c_str());
    return buffer;
}

// The files below a folder, by their paths relative to it.
std::vector<std::string> FilesBelow(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, ignored)) {
        if (entry.is_regular_file()) {
            files.push_back(std::filesystem::relative(entry.path(), folder).string());
        }
    }
    return files;
}

struct Shortcut {
    std::wstring target;
    std::wstring workingFolder;
};

std::optional<Shortcut> ReadShortcut(const std::wstring& file) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link)))) {
        return std::nullopt;
    }
    std::optional<Shortcut> shortcut;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ))) {
            wchar_t target[MAX_PATH] = {};
            wchar_t folder[MAX_PATH] = {};
            link->GetPath(target, MAX_PATH, nullptr, 0);
            link->GetWorkingDirectory(folder, MAX_PATH);
            shortcut = Shortcut{target, folder};
        }
        persist->Release();
    }
    link->Release();
    return shortcut;
}

std::wstring CommonPrograms() {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

std::wstring Wide(const std::string& text) { return std::filesystem::path(text).wstring(); }

// The test metabase server and IIS 4 (which corvane.exe checks for) for the program's run.
class MachineEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        const std::string server = std::string(kAdminBaseKey) + "\\InprocServer32";
        const std::string stub = WinePath(METABASE_STUB_DLL);
        RegSetKeyValueA(HKEY_CLASSES_ROOT, server.c_str(), nullptr, REG_SZ, stub.c_str(),
                        static_cast<DWORD>(stub.size() + 1));
        RegSetKeyValueA(HKEY_CLASSES_ROOT, server.c_str(), "ThreadingModel", REG_SZ, "Both", 5);
        const DWORD version = 4;
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, kIisKey, "MajorVersion", REG_DWORD, &version,
                        sizeof version);
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kAdminBaseKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\W3SVC");
    }
};

const auto* const environment = testing::AddGlobalTestEnvironment(new MachineEnvironment);

// An install folder inside a temporary folder of the prefix, and a metabase with two sites. Every
// test ends uninstalled, so that the shared prefix keeps no registration.
class InstallerTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        folder_.Write("metabase.txt",
                      "[/lm/w3svc/1]\n1015 STRING \"Default Web Site\"\n"
                      "[/lm/w3svc/2]\n1015 STRING \"Shop\"\n");
        SetEnvironmentVariableA("PIXWALL_METABASE", folder_.PathOf("metabase.txt").c_str());
        installDir_ = folder_.PathOf("Pixwall");
    }
    void TearDown() override {
        if (ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation") ||
            ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "InstallLocation", KEY_WOW64_32KEY)) {
            Uninstall();
        }
        SetEnvironmentVariableA("PIXWALL_METABASE", nullptr);
        CoUninitialize();
    }

    DWORD Install(const std::string& options = "") {
        return RunAndWait("\"" + WinePath(PIXWALL_SETUP) + "\" /S " + options + "/D=" + installDir_);
    }
    // Runs in place and waits; so the uninstaller itself cannot go, as after any such run.
    DWORD Uninstall() {
        // The component must not stay loaded in this process while its file is removed.
        CoFreeUnusedLibraries();
        return RunAndWait("\"" + InstalledPath("uninstall.exe") + "\" /S _?=" + installDir_);
    }
    std::string InstalledPath(const std::string& name) const { return installDir_ + "\\" + name; }
    std::string Metabase() const { return folder_.Read("metabase.txt"); }

    TempFolder folder_;
    std::string installDir_;
};

TEST_F(InstallerTest, SilentInstallLaysOutTheFolderAndRegistersEverything) {
    ASSERT_EQ(Install(), 0u);

    std::vector<std::string> expected = {"pixwall.dll", "taliscom.dll", "corvane.exe",
                                         "corvane.ini", "uninstall.exe"};
    expected.insert(expected.end(), kConfigFiles.begin(), kConfigFiles.end());
    std::vector<std::string> files = FilesBelow(installDir_);
    std::sort(files.begin(), files.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files, expected);
    EXPECT_TRUE(std::filesystem::is_directory(InstalledPath("LogFiles")));
    EXPECT_EQ(BinaryType(InstalledPath("corvane.exe")), kThisBuild);
    EXPECT_THAT(folder_.Read("Pixwall/blocked_types.txt"), HasSubstr("\r\ngif\r\n"));

    const std::string ini = InstalledPath("corvane.ini");
    EXPECT_EQ(IniValue(ini, "filtername"), "pixwall");
    EXPECT_EQ(IniValue(ini, "filterpath"), InstalledPath("pixwall.dll"));
    EXPECT_EQ(IniValue(ini, "filterdesc"), "Pixwall hot-link protection");

    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kInstallKey, "install_dir"), installDir_);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
              "\"" + InstalledPath("uninstall.exe") + "\"");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"),
              "Pixwall hot-link protection for IIS");

    const std::string server = std::string(kClassKey) + "\\InprocServer32";
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, server.c_str(), nullptr),
              InstalledPath("taliscom.dll"));
    IFilterManager* manager = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterManager, nullptr, CLSCTX_ALL, IID_IFilterManager,
                               reinterpret_cast<void**>(&manager)),
              S_OK);
    if (manager != nullptr) manager->Release();

    const auto shortcut = ReadShortcut(CommonPrograms() + L"\\Pixwall\\Corvane.lnk");
    ASSERT_TRUE(shortcut.has_value());
    EXPECT_EQ(shortcut->target, Wide(InstalledPath("corvane.exe")));
    EXPECT_EQ(shortcut->workingFolder, Wide(installDir_));
}

TEST_F(InstallerTest, UninstallTakesTheFilterOutAndKeepsLogsAndEditedLists) {
    ASSERT_EQ(Install(), 0u);
    IFilterManager* manager = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterManager, nullptr, CLSCTX_ALL, IID_IFilterManager,
                               reinterpret_cast<void**>(&manager)),
              S_OK);
    BSTR filter = SysAllocString(Wide(InstalledPath("pixwall.dll")).c_str());
    BSTR site = SysAllocString(L"Shop");
    EXPECT_EQ(manager->AddWebFilter(filter, site), S_OK);
    SysFreeString(site);
    SysFreeString(filter);
    manager->Release();
    ASSERT_THAT(Metabase(), HasSubstr("[/lm/w3svc/2/Filters/pixwall]"));
    folder_.Write("Pixwall/LogFiles/pixwall.log",
                  "12/31/05 23:59:58 : Pixwall for IIS started\r\n");
    folder_.Write("Pixwall/referrer_blacklist.txt", "leech.example\r\n");

    ASSERT_EQ(Uninstall(), 0u);
    EXPECT_THAT(Metabase(), Not(HasSubstr("Filters/pixwall")));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_EQ(CoCreateInstance(CLSID_FilterManager, nullptr, CLSCTX_ALL, IID_IFilterManager,
                               reinterpret_cast<void**>(&manager)),
              REGDB_E_CLASSNOTREG);
    std::vector<std::string> left = FilesBelow(installDir_);
    std::erase(left, "uninstall.exe");
    EXPECT_THAT(left, UnorderedElementsAre("LogFiles\\pixwall.log", "referrer_blacklist.txt"));
    EXPECT_EQ(folder_.Read("Pixwall/referrer_blacklist.txt"), "leech.example\r\n");
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, kInstallKey, "install_dir").has_value());
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_FALSE(std::filesystem::exists(CommonPrograms() + L"\\Pixwall\\Corvane.lnk"));
}

// Corvane would stop at its IIS check with a message box that nobody answers.
TEST_F(InstallerTest, WithoutIisTheUninstallerRemovesEverythingWithoutWaitingForCorvane) {
    ASSERT_EQ(Install(), 0u);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kIisKey, "MajorVersion");
    const DWORD uninstalled = Uninstall();
    const DWORD version = 4;
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kIisKey, "MajorVersion", REG_DWORD, &version,
                    sizeof version);
    EXPECT_EQ(uninstalled, 0u);
    std::vector<std::string> left = FilesBelow(installDir_);
    std::erase(left, "uninstall.exe");
    EXPECT_THAT(left, testing::IsEmpty());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
}

TEST_F(InstallerTest, AnUpgradeReplacesTheProgramsAndKeepsTheAdministratorsFiles) {
    ASSERT_EQ(Install(), 0u);
    const std::string shippedModule = folder_.Read("Pixwall/pixwall.dll");
    folder_.Write("Pixwall/pixwall.dll", "an older module");
    folder_.Write("Pixwall/url_blacklist.txt", "/private/\r\n");
    folder_.Write("Pixwall/pixwall.ini", "[logging]\r\nlogging=off\r\n");
    folder_.Remove("Pixwall/ua_blacklist.txt");
    WritePrivateProfileStringA("settings", "filterdesc", "Our images",
                               InstalledPath("corvane.ini").c_str());

    ASSERT_EQ(Install(), 0u);
    EXPECT_EQ(folder_.Read("Pixwall/pixwall.dll"), shippedModule);
    EXPECT_EQ(folder_.Read("Pixwall/url_blacklist.txt"), "/private/\r\n");
    EXPECT_EQ(folder_.Read("Pixwall/pixwall.ini"), "[logging]\r\nlogging=off\r\n");
    EXPECT_THAT(folder_.Read("Pixwall/ua_blacklist.txt"), HasSubstr("User-Agent:"));
    EXPECT_EQ(IniValue(InstalledPath("corvane.ini"), "filterdesc"), "Our images");
    EXPECT_EQ(IniValue(InstalledPath("corvane.ini"), "filterpath"), InstalledPath("pixwall.dll"));
}

#ifdef _WIN64
// For sites whose worker processes are 32-bit: the x86 build, registered where 32-bit processes
// look, and removed again by its uninstaller.
TEST_F(InstallerTest, TheX86OptionInstallsTheX86BuildForThirtyTwoBitProcesses) {
    ASSERT_EQ(Install("/X86 "), 0u);
    EXPECT_EQ(BinaryType(InstalledPath("corvane.exe")), static_cast<DWORD>(SCS_32BIT_BINARY));
    const std::string server = std::string(kClassKey) + "\\InprocServer32";
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, server.c_str(), nullptr, KEY_WOW64_32KEY),
              InstalledPath("taliscom.dll"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kInstallKey, "install_dir", KEY_WOW64_32KEY),
              installDir_);

    ASSERT_EQ(Uninstall(), 0u);
    EXPECT_FALSE(ReadString(HKEY_CLASSES_ROOT, server.c_str(), nullptr, KEY_WOW64_32KEY));
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, kInstallKey, "install_dir", KEY_WOW64_32KEY));
    EXPECT_FALSE(std::filesystem::exists(InstalledPath("pixwall.dll")));
}
#endif

}  // namespace
