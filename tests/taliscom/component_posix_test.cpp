// taliscom.so through its four exports: registration into the registry stand-in, creation by
// class identifier through that registry, the four methods through the interface's slots and the
// error information of a failing call.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "component_abi.h"
#include "metabase/store_file.h"
#include "platform/registry.h"
#include "registry_fixture.h"
#include "taliscom.h"
#include "wide_text.h"

namespace {

using namespace taliscom;
namespace tabi = taliscom::abi;
using testing::ElementsAre;

constexpr const char* kClassKey = "CLSID\\{9E5D60B0-96C5-4B84-A89D-F132BCEBDC87}";

template <typename Function>
Function Export(const char* name) {
    void* library = ::dlopen(TALISCOM_MODULE, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(library, nullptr) << ::dlerror();
    auto function = reinterpret_cast<Function>(::dlsym(library, name));
    EXPECT_NE(function, nullptr) << name;
    ::dlclose(library);  // the component stays loaded while the test holds it through the registry
    return function;
}

HResult CallExport(const char* name) {
    void* library = ::dlopen(TALISCOM_MODULE, RTLD_NOW | RTLD_LOCAL);
    const auto function = reinterpret_cast<tabi::DllRegisterServerFunction>(::dlsym(library, name));
    const HResult result = function();
    ::dlclose(library);
    return result;
}

// A registry file, a metabase with two sites and "corvane.ini" naming the filter pixwall.
class ComponentTest : public testing::Test {
  protected:
    void SetUp() override {
        const TempFolder& folder = registry_.Folder();
        folder.Write("metabase.txt",
                     "[/lm/w3svc/1]\n1015 STRING \"Default Web Site\"\n"
                     "[/lm/w3svc/2]\n1015 STRING \"Shop\"\n");
        folder.Write("corvane.ini", "[settings]\nfiltername=pixwall\n");
        ::setenv(metabase::kMetabaseFileVariable, folder.PathOf("metabase.txt").c_str(), 1);
        platform::SetRegistryString(platform::RegistryRoot::LocalMachine,
                                    "software\\orlentek\\pixwall", "install_dir", folder.Path());
    }
    void TearDown() override { ::unsetenv(metabase::kMetabaseFileVariable); }

    tabi::IFilterManager* Create() {
        tabi::IFilterManager* manager = nullptr;
        EXPECT_EQ(CreateComponentInstance(kClsidFilterManager, kIidFilterManager,
                                          reinterpret_cast<void**>(&manager)),
                  hr::kOk);
        return manager;
    }

    RegistryFileFixture registry_;
};

TEST_F(ComponentTest, AnUnregisteredComponentCannotBeCreated) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateComponentInstance(kClsidFilterManager, kIidFilterManager, &object),
              hr::kClassNotRegistered);
    EXPECT_EQ(object, nullptr);
}

TEST_F(ComponentTest, RegistersItsOwnFullPath) {
    ASSERT_EQ(CallExport("DllRegisterServer"), hr::kOk);
    EXPECT_EQ(platform::ReadRegistryString(platform::RegistryRoot::ClassesRoot,
                                           std::string(kClassKey) + "\\InprocServer32", "", 4096),
              std::filesystem::absolute(TALISCOM_MODULE).string());
    ASSERT_EQ(CallExport("DllUnregisterServer"), hr::kOk);
    EXPECT_FALSE(platform::RegistryKeyExists(platform::RegistryRoot::ClassesRoot, kClassKey));
    void* object = nullptr;
    EXPECT_EQ(CreateComponentInstance(kClsidFilterManager, kIidFilterManager, &object),
              hr::kClassNotRegistered);
}

TEST_F(ComponentTest, TheRegistrationToolRegistersAndUnregisters) {
    const std::string tool = std::string(TALISCOM_REGISTER) + " ";
    ASSERT_EQ(std::system((tool + TALISCOM_MODULE + " >/dev/null").c_str()), 0);
    EXPECT_EQ(platform::ReadRegistryString(platform::RegistryRoot::ClassesRoot,
                                           "OrlenTek.FilterManager\\CurVer", "", 260),
              "OrlenTek.FilterManager.1");
    ASSERT_EQ(std::system((tool + "/u " + TALISCOM_MODULE + " >/dev/null").c_str()), 0);
    EXPECT_FALSE(
        platform::RegistryKeyExists(platform::RegistryRoot::ClassesRoot, "OrlenTek.FilterManager"));
    EXPECT_NE(std::system((tool + "/nonexistent/taliscom.so 2>/dev/null").c_str()), 0);
}

TEST_F(ComponentTest, CallsEveryMethodThroughTheInterface) {
    ASSERT_EQ(CallExport("DllRegisterServer"), hr::kOk);
    tabi::IFilterManager* manager = Create();
    ASSERT_NE(manager, nullptr);
    const std::u16string filter = text::Utf8ToUtf16(PIXWALL_MODULE);

    std::vector<std::u16string> sites = {u"stale"};
    ASSERT_EQ(manager->GetVirtualServerList(&sites), hr::kOk);
    EXPECT_THAT(sites, ElementsAre(u"Default Web Site", u"Shop"));

    std::int16_t installed = 7;
    ASSERT_EQ(manager->IsWebFilterInstalled(u"pixwall", u"Shop", &installed), hr::kOk);
    EXPECT_EQ(installed, 0);
    ASSERT_EQ(manager->AddWebFilter(filter.c_str(), u"shop"), hr::kOk);
    ASSERT_EQ(manager->IsWebFilterInstalled(u"pixwall", u"Shop", &installed), hr::kOk);
    EXPECT_EQ(installed, -1);
    ASSERT_EQ(manager->IsWebFilterInstalled(u"pixwall", nullptr, &installed), hr::kOk);
    EXPECT_EQ(installed, 0);
    ASSERT_EQ(manager->AddWebFilter(filter.c_str(), nullptr), hr::kOk);  // all sites
    ASSERT_EQ(manager->IsWebFilterInstalled(u"pixwall", nullptr, &installed), hr::kOk);
    EXPECT_EQ(installed, -1);
    EXPECT_EQ(manager->RemoveWebFilter(u"pixwall", u"Shop"), hr::kOk);
    EXPECT_EQ(manager->RemoveWebFilter(u"pixwall", u""), hr::kOk);
    ASSERT_EQ(manager->IsWebFilterInstalled(u"pixwall", u"Shop", &installed), hr::kOk);
    EXPECT_EQ(installed, 0);
    EXPECT_EQ(manager->IsWebFilterInstalled(u"pixwall", u"Shop", nullptr), hr::kOk);
    manager->Release();
}

TEST_F(ComponentTest, AFailingCallLeavesRichErrorInformation) {
    ASSERT_EQ(CallExport("DllRegisterServer"), hr::kOk);
    tabi::IFilterManager* manager = Create();
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->RemoveWebFilter(u"pixwall", u"Nowhere"), hr::kDispException);

    tabi::ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(manager->QueryInterface(kIidSupportErrorInfo, reinterpret_cast<void**>(&support)),
              hr::kOk);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(kIidFilterManager), hr::kOk);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(kIidDispatch), hr::kFalse);
    support->Release();

    tabi::IErrorInfoSource* source = nullptr;
    ASSERT_EQ(manager->QueryInterface(tabi::kIidErrorInfoSource, reinterpret_cast<void**>(&source)),
              hr::kOk);
    tabi::ErrorInfo info;
    ASSERT_EQ(source->GetErrorInfo(&info), hr::kOk);
    EXPECT_EQ(info.description, u"Virtual server Nowhere not found");
    EXPECT_EQ(info.source, u"OrlenTek.FilterManager.1");
    EXPECT_EQ(info.guid, Guid{});
    EXPECT_EQ(source->GetErrorInfo(&info), hr::kFalse);  // handed over once

    EXPECT_EQ(manager->AddWebFilter(u"/missing/pixwall.so", u""), hr::kDispException);
    ASSERT_EQ(source->GetErrorInfo(&info), hr::kOk);
    EXPECT_EQ(info.description, u"/missing/pixwall.so not found or invalid dll");
    source->Release();

    void* other = nullptr;
    EXPECT_EQ(manager->QueryInterface(kIidDispatch, &other), hr::kNoInterface);
    EXPECT_EQ(other, nullptr);
    manager->Release();
}

TEST_F(ComponentTest, ClassObjectAndUnloading) {
    // Kept loaded before its exports are taken: otherwise it is unloaded in between and may
    // come back at another address.
    void* library = ::dlopen(TALISCOM_MODULE, RTLD_NOW | RTLD_LOCAL);
    const auto getClassObject = Export<tabi::DllGetClassObjectFunction>("DllGetClassObject");
    const auto canUnloadNow = Export<tabi::DllCanUnloadNowFunction>("DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);

    void* object = nullptr;
    EXPECT_EQ(getClassObject(kIidFilterManager, kIidClassFactory, &object), hr::kClassNotAvailable);
    tabi::IClassFactory* factory = nullptr;
    ASSERT_EQ(
        getClassObject(kClsidFilterManager, kIidClassFactory, reinterpret_cast<void**>(&factory)),
        hr::kOk);
    EXPECT_EQ(canUnloadNow(), hr::kFalse);  // the factory reference counts
    tabi::IUnknown* outer = factory;
    EXPECT_EQ(factory->CreateInstance(outer, kIidUnknown, &object), hr::kNoAggregation);
    EXPECT_EQ(factory->CreateInstance(nullptr, kIidDispatch, &object), hr::kNoInterface);
    tabi::IUnknown* manager = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, kIidUnknown, reinterpret_cast<void**>(&manager)),
              hr::kOk);
    factory->LockServer(true);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), hr::kFalse);  // object and lock
    manager->Release();
    EXPECT_EQ(canUnloadNow(), hr::kFalse);  // lock
    ASSERT_EQ(
        getClassObject(kClsidFilterManager, kIidClassFactory, reinterpret_cast<void**>(&factory)),
        hr::kOk);
    factory->LockServer(false);
    factory->Release();
    EXPECT_EQ(canUnloadNow(), hr::kOk);
    ::dlclose(library);
}

TEST_F(ComponentTest, AnUnreachableMetabaseGivesAnEmptyListAndNotInstalled) {
    ASSERT_EQ(CallExport("DllRegisterServer"), hr::kOk);
    ::unsetenv(metabase::kMetabaseFileVariable);
    tabi::IFilterManager* manager = Create();
    ASSERT_NE(manager, nullptr);
    std::vector<std::u16string> sites = {u"stale"};
    EXPECT_EQ(manager->GetVirtualServerList(&sites), hr::kOk);
    EXPECT_TRUE(sites.empty());
    std::int16_t installed = -1;
    EXPECT_EQ(manager->IsWebFilterInstalled(u"pixwall", u"", &installed), hr::kOk);
    EXPECT_EQ(installed, 0);
    EXPECT_EQ(manager->RemoveWebFilter(u"pixwall", u""), hr::kClassNotRegistered);
    manager->Release();
}

}  // namespace
