// taliscom.dll under Wine: regsvr32 registers and unregisters it, and a client creates
// FilterManager by its class identifier through COM and calls it through the interface's slots
// and through IDispatch, with the test metabase server registered under the IIS Admin Base
// Object's class identifier. Calls run in a single-threaded apartment (Wine carries rich error
// information from an apartment-threaded object only to a caller in the same apartment); one
// test creates the object from the multithreaded apartment, as the manager program does.
#include <windows.h>
// clang-format off
#include <ole2.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>
#include <initguid.h>
#include "taliscom_idl.h"
// clang-format on

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::UnorderedElementsAre;

constexpr const wchar_t* kClassKey = L"CLSID\\{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}";
constexpr const wchar_t* kAppId = L"{09A29094-59B7-4EE9-9329-D12FB3DD0E12}";
constexpr const wchar_t* kAdminBaseKey = L"CLSID\\{A9E69610-B80D-11D0-B9B9-00A0C922E750}";
constexpr const wchar_t* kTypeLibKey = L"TypeLib\\{08E6BEC5-EAEF-4274-9A5E-5C6664CB473B}";

// A file of the build folder as Wine shows it: drive Z: is the root of the file system.
std::wstring WinePath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (const char c : unixPath) path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return path;
}

const std::wstring& ComponentPath() {
    static const std::wstring path = WinePath(TALISCOM_MODULE);
    return path;
}

std::optional<std::wstring> ReadValue(const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer);
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(handle);
    return true;
}

std::vector<std::wstring> SubKeys(const std::wstring& key) {
    std::vector<std::wstring> names;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return names;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    RegCloseKey(handle);
    return names;
}

DWORD Regsvr32(const std::wstring& arguments) {
    std::wstring command = L"regsvr32.exe /s " + arguments + L" \"" + ComponentPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return GetLastError() | 0x10000000;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

void ExpectRegistered() {
    EXPECT_EQ(ReadValue(std::wstring(L"AppID\\") + kAppId), L"taliscom");
    EXPECT_EQ(ReadValue(L"AppID\\taliscom.dll", L"AppID"), kAppId);
    EXPECT_EQ(ReadValue(L"OrlenTek.FilterManager"), L"FilterManager Class");
    EXPECT_EQ(ReadValue(L"OrlenTek.FilterManager\\CLSID"),
              L"{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}");
    EXPECT_EQ(ReadValue(L"OrlenTek.FilterManager\\CurVer"), L"OrlenTek.FilterManager.1");
    EXPECT_EQ(ReadValue(L"OrlenTek.FilterManager.1"), L"FilterManager Class");
    EXPECT_EQ(ReadValue(L"OrlenTek.FilterManager.1\\CLSID"),
              L"{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}");
    const std::wstring clsid = kClassKey;
    EXPECT_EQ(ReadValue(clsid), L"FilterManager Class");
    EXPECT_EQ(ReadValue(clsid, L"AppID"), kAppId);
    EXPECT_EQ(ReadValue(clsid + L"\\ProgID"), L"OrlenTek.FilterManager.1");
    EXPECT_EQ(ReadValue(clsid + L"\\VersionIndependentProgID"), L"OrlenTek.FilterManager");
    EXPECT_TRUE(KeyExists(clsid + L"\\Programmable"));
    EXPECT_EQ(ReadValue(clsid + L"\\InprocServer32"), ComponentPath());
    EXPECT_EQ(ReadValue(clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ReadValue(clsid + L"\\TypeLib"), L"{08E6BEC5-EAEF-4274-9A5E-5C6664CB473B}");
    EXPECT_THAT(SubKeys(clsid),
                UnorderedElementsAre(L"ProgID", L"VersionIndependentProgID", L"Programmable",
                                     L"InprocServer32", L"TypeLib"));
#ifdef _WIN64
    EXPECT_EQ(ReadValue(std::wstring(kTypeLibKey) + L"\\1.0\\0\\win64"), ComponentPath());
#else
    EXPECT_EQ(ReadValue(std::wstring(kTypeLibKey) + L"\\1.0\\0\\win32"), ComponentPath());
#endif
    EXPECT_TRUE(KeyExists(L"Interface\\{8052A5C1-7FBA-492F-96BD-62008DFA326C}"));
}

// Registers the component and the test metabase server for the whole program, and removes both
// at its end: the Wine prefix is shared with the other test programs.
class RegistrationEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        ASSERT_EQ(Regsvr32(L""), 0u);
        HKEY key = nullptr;
        const std::wstring server = std::wstring(kAdminBaseKey) + L"\\InprocServer32";
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, server.c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const std::wstring stub = WinePath(METABASE_STUB_DLL);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(stub.c_str()),
                       static_cast<DWORD>((stub.size() + 1) * sizeof(wchar_t)));
        const std::wstring model = L"Both";
        RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(model.c_str()),
                       static_cast<DWORD>((model.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kAdminBaseKey);
        Regsvr32(L"/u");
    }
};

const auto* const environment = testing::AddGlobalTestEnvironment(new RegistrationEnvironment);

TEST(Regsvr32, RegistersAndUnregistersTheComponent) {
    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered();
    // A stale subkey from an earlier registration does not survive a new one.
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CLASSES_ROOT, (std::wstring(kClassKey) + L"\\Stale\\Deeper").c_str(), 0,
                    nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    RegCloseKey(key);
    ASSERT_TRUE(KeyExists(std::wstring(kClassKey) + L"\\Stale"));
    ASSERT_EQ(Regsvr32(L""), 0u);
    ExpectRegistered();

    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(std::wstring(L"AppID\\") + kAppId));
    EXPECT_FALSE(KeyExists(L"AppID\\taliscom.dll"));
    EXPECT_FALSE(KeyExists(L"OrlenTek.FilterManager"));
    EXPECT_FALSE(KeyExists(L"OrlenTek.FilterManager.1"));
    EXPECT_FALSE(KeyExists(kTypeLibKey));
    EXPECT_TRUE(KeyExists(L"AppID"));
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_FALSE(SubKeys(L"CLSID").empty());  // others' classes stay

    void* object = nullptr;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(
        CoCreateInstance(CLSID_FilterManager, nullptr, CLSCTX_ALL, IID_IFilterManager, &object),
        REGDB_E_CLASSNOTREG);
    CoUninitialize();
    ASSERT_EQ(Regsvr32(L""), 0u);  // for the tests that follow
}

// Wraps a BSTR for one call.
class Bstr {
  public:
    explicit Bstr(const std::wstring& text) : value_(SysAllocString(text.c_str())) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value_; }

  private:
    BSTR value_;
};

std::vector<std::wstring> Strings(const VARIANT& list) {
    std::vector<std::wstring> out;
    if (V_VT(&list) != (VT_ARRAY | VT_VARIANT) || V_ARRAY(&list) == nullptr) return out;
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(V_ARRAY(&list), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(&list), 1, &upper);
    EXPECT_EQ(lower, 0);
    for (LONG i = lower; i <= upper; ++i) {
        VARIANT item;
        VariantInit(&item);
        SafeArrayGetElement(V_ARRAY(&list), &i, &item);
        out.push_back(V_VT(&item) == VT_BSTR ? std::wstring(V_BSTR(&item)) : L"?");
        VariantClear(&item);
    }
    return out;
}

// An apartment, a metabase with two sites, and a filter module copy named pwtest.dll with its
// "corvane.ini" beside it.
class ComponentTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        folder_.Write("metabase.txt",
                      "[/lm/w3svc/1]\n1015 STRING \"Default Web Site\"\n"
                      "[/lm/w3svc/2]\n1015 STRING \"Shop\"\n");
        folder_.Write("corvane.ini", "[settings]\nfiltername=pixwall\n");
        std::filesystem::copy_file(std::filesystem::path(WinePath(PIXWALL_MODULE)),
                                   folder_.PathOf("pwtest.dll"));
        filterPath_ = std::filesystem::path(folder_.PathOf("pwtest.dll")).wstring();
        const std::wstring store = std::filesystem::path(folder_.PathOf("metabase.txt")).wstring();
        SetEnvironmentVariableW(L"PIXWALL_METABASE", store.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"PIXWALL_METABASE", nullptr);
        CoUninitialize();
    }

    IFilterManager* Create() {
        IFilterManager* manager = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_FilterManager, nullptr, CLSCTX_ALL, IID_IFilterManager,
                                   reinterpret_cast<void**>(&manager)),
                  S_OK);
        return manager;
    }
    std::string Metabase() const { return folder_.Read("metabase.txt"); }

    TempFolder folder_;
    std::wstring filterPath_;
};

TEST_F(ComponentTest, CallsEveryMethodThroughTheInterface) {
    IFilterManager* manager = Create();
    ASSERT_NE(manager, nullptr);
    VARIANT list;
    VariantInit(&list);
    ASSERT_EQ(manager->GetVirtualServerList(&list), S_OK);
    EXPECT_EQ(V_VT(&list), VT_ARRAY | VT_VARIANT);
    EXPECT_THAT(Strings(list), ElementsAre(L"Default Web Site", L"Shop"));
    VariantClear(&list);

    ASSERT_EQ(manager->AddWebFilter(Bstr(filterPath_), Bstr(L"SHOP")), S_OK);
    EXPECT_THAT(Metabase(), HasSubstr("[/lm/w3svc/2/Filters/pixwall]"));
    VARIANT installed;
    VariantInit(&installed);
    ASSERT_EQ(manager->IsWebFilterInstalled(Bstr(L"pixwall"), Bstr(L"Shop"), &installed), S_OK);
    EXPECT_EQ(V_VT(&installed), VT_BOOL);
    EXPECT_EQ(V_BOOL(&installed), VARIANT_TRUE);
    ASSERT_EQ(manager->IsWebFilterInstalled(Bstr(L"pixwall"), nullptr, &installed), S_OK);
    EXPECT_EQ(V_BOOL(&installed), VARIANT_FALSE);
    ASSERT_EQ(manager->RemoveWebFilter(Bstr(L"pixwall"), Bstr(L"Shop")), S_OK);
    ASSERT_EQ(manager->IsWebFilterInstalled(Bstr(L"pixwall"), Bstr(L"Shop"), &installed), S_OK);
    EXPECT_EQ(V_BOOL(&installed), VARIANT_FALSE);
    EXPECT_THAT(Metabase(), testing::Not(HasSubstr("Filters")));

    // All sites at once, with a null description.
    ASSERT_EQ(manager->AddWebFilter(Bstr(filterPath_), nullptr), S_OK);
    EXPECT_THAT(Metabase(), HasSubstr("[/lm/w3svc/Filters/pixwall]"));
    ASSERT_EQ(manager->RemoveWebFilter(Bstr(L"pixwall"), nullptr), S_OK);
    manager->Release();
}

struct ErrorRecord {
    std::wstring description;
    std::wstring source;
    GUID guid{};
    bool helpFile = false;
    DWORD helpContext = 99;
};

std::optional<ErrorRecord> TakeErrorInfo() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return std::nullopt;
    ErrorRecord record;
    BSTR text = nullptr;
    if (SUCCEEDED(info->GetDescription(&text)) && text) record.description = text;
    SysFreeString(text);
    text = nullptr;
    if (SUCCEEDED(info->GetSource(&text)) && text) record.source = text;
    SysFreeString(text);
    text = nullptr;
    info->GetGUID(&record.guid);
    if (SUCCEEDED(info->GetHelpFile(&text)) && text && *text) record.helpFile = true;
    SysFreeString(text);
    info->GetHelpContext(&record.helpContext);
    info->Release();
    return record;
}

TEST_F(ComponentTest, AFailingCallCarriesRichErrorInformation) {
    IFilterManager* manager = Create();
    ASSERT_NE(manager, nullptr);
    ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(manager->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)),
              S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IFilterManager), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
    support->Release();

    const std::wstring missing = L"C:\\missing\\pixwall.dll";
    EXPECT_EQ(manager->AddWebFilter(Bstr(missing), Bstr(L"Shop")), DISP_E_EXCEPTION);
    auto error = TakeErrorInfo();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->description, L"C:\\missing\\pixwall.dll not found or invalid dll");
    EXPECT_EQ(error->source, L"OrlenTek.FilterManager.1");
    EXPECT_TRUE(IsEqualGUID(error->guid, GUID_NULL));
    EXPECT_FALSE(error->helpFile);
    EXPECT_EQ(error->helpContext, 0u);

    EXPECT_EQ(manager->RemoveWebFilter(Bstr(L"pixwall"), Bstr(L"Nowhere")), DISP_E_EXCEPTION);
    error = TakeErrorInfo();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->description, L"Virtual server Nowhere not found");

    // A failure passed on from the metabase carries none.
    SetEnvironmentVariableW(L"PIXWALL_METABASE", nullptr);
    EXPECT_EQ(manager->RemoveWebFilter(Bstr(L"pixwall"), Bstr(L"Shop")), CO_E_SERVER_EXEC_FAILURE);
    EXPECT_FALSE(TakeErrorInfo().has_value());
    VARIANT list;
    VariantInit(&list);
    EXPECT_EQ(manager->GetVirtualServerList(&list), S_OK);
    EXPECT_EQ(V_VT(&list), VT_ARRAY | VT_VARIANT);
    EXPECT_TRUE(Strings(list).empty());
    VariantClear(&list);
    manager->Release();
}

HRESULT InvokeByName(IDispatch* dispatch, const wchar_t* name, std::vector<std::wstring> arguments,
                     VARIANT* result, EXCEPINFO* exception = nullptr) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT status = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(status)) return status;
    // Arguments go in reverse order.
    std::vector<VARIANT> values(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        VariantInit(&values[i]);
        V_VT(&values[i]) = VT_BSTR;
        V_BSTR(&values[i]) = SysAllocString(arguments[arguments.size() - 1 - i].c_str());
    }
    DISPPARAMS params{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
    EXCEPINFO ignored{};
    UINT argumentError = 0;
    status = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                              exception != nullptr ? exception : &ignored, &argumentError);
    for (auto& value : values) VariantClear(&value);
    if (exception == nullptr) {
        SysFreeString(ignored.bstrDescription);
        SysFreeString(ignored.bstrSource);
        SysFreeString(ignored.bstrHelpFile);
    }
    return status;
}

TEST_F(ComponentTest, CallsEveryMethodThroughIDispatchByName) {
    IFilterManager* manager = Create();
    ASSERT_NE(manager, nullptr);
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(manager->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);

    const wchar_t* methods[] = {L"AddWebFilter", L"RemoveWebFilter", L"GetVirtualServerList",
                                L"IsWebFilterInstalled"};
    for (int i = 0; i < 4; ++i) {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(methods[i])};
        ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << i;
        EXPECT_EQ(id, i + 1);
    }
    UINT count = 0;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(InvokeByName(dispatch, L"GetVirtualServerList", {}, &result), S_OK);
    EXPECT_THAT(Strings(result), ElementsAre(L"Default Web Site", L"Shop"));
    VariantClear(&result);
    ASSERT_EQ(InvokeByName(dispatch, L"AddWebFilter", {filterPath_, L"default web site"}, &result),
              S_OK);
    VariantClear(&result);
    ASSERT_EQ(
        InvokeByName(dispatch, L"IsWebFilterInstalled", {L"PIXWALL", L"Default Web Site"}, &result),
        S_OK);
    EXPECT_EQ(V_VT(&result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result), VARIANT_TRUE);
    VariantClear(&result);
    ASSERT_EQ(
        InvokeByName(dispatch, L"RemoveWebFilter", {L"pixwall", L"Default Web Site"}, &result),
        S_OK);
    VariantClear(&result);
    ASSERT_EQ(
        InvokeByName(dispatch, L"IsWebFilterInstalled", {L"pixwall", L"Default Web Site"}, &result),
        S_OK);
    EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);
    VariantClear(&result);

    // A failure through IDispatch comes back as an exception with its description.
    EXCEPINFO exception{};
    EXPECT_EQ(
        InvokeByName(dispatch, L"RemoveWebFilter", {L"pixwall", L"Nowhere"}, &result, &exception),
        DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, DISP_E_EXCEPTION);
    EXPECT_EQ(std::wstring(exception.bstrDescription ? exception.bstrDescription : L""),
              L"Virtual server Nowhere not found");
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
    dispatch->Release();
    manager->Release();
}

TEST_F(ComponentTest, ClassFactoryAndUnloading) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(CoGetClassObject(CLSID_FilterManager, CLSCTX_INPROC_SERVER, nullptr,
                               IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              S_OK);
    IUnknown* object = nullptr;
    EXPECT_EQ(factory->CreateInstance(factory, IID_IUnknown, reinterpret_cast<void**>(&object)),
              CLASS_E_NOAGGREGATION);
    factory->Release();

    HMODULE module = LoadLibraryW(ComponentPath().c_str());
    ASSERT_NE(module, nullptr);
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(WINAPI*)();
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    const auto canUnloadNow = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    void* other = nullptr;
    EXPECT_EQ(getClassObject(IID_IFilterManager, IID_IClassFactory, &other),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(canUnloadNow(), S_OK);
    IFilterManager* manager = Create();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    manager->Release();
    EXPECT_EQ(canUnloadNow(), S_OK);
    FreeLibrary(module);
}

TEST_F(ComponentTest, CreatedFromTheMultithreadedApartment) {
    std::vector<std::wstring> sites;
    HRESULT created = E_FAIL;
    HRESULT listed = E_FAIL;
    VARIANT_BOOL installed = VARIANT_TRUE;
    std::thread client([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IFilterManager* manager = nullptr;
        created = CoCreateInstance(CLSID_FilterManager, nullptr, CLSCTX_ALL, IID_IFilterManager,
                                   reinterpret_cast<void**>(&manager));
        if (SUCCEEDED(created)) {
            VARIANT list;
            VariantInit(&list);
            listed = manager->GetVirtualServerList(&list);
            sites = Strings(list);
            VariantClear(&list);
            VARIANT state;
            VariantInit(&state);
            manager->IsWebFilterInstalled(Bstr(L"pixwall"), Bstr(L"Shop"), &state);
            installed = V_BOOL(&state);
            manager->Release();
        }
        CoUninitialize();
    });
    client.join();
    EXPECT_EQ(created, S_OK);
    EXPECT_EQ(listed, S_OK);
    EXPECT_THAT(sites, ElementsAre(L"Default Web Site", L"Shop"));
    EXPECT_EQ(installed, VARIANT_FALSE);
}

}  // namespace
