// pixwall-host started from a metabase store in which the real taliscom.so installed the filter,
// restarted with scripts/iisreset after the component removed it again.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "component_abi.h"
#include "host_process.h"
#include "http_client.h"
#include "platform/registry.h"
#include "temp_folder.h"
#include "wide_text.h"

namespace fs = std::filesystem;
namespace tabi = taliscom::abi;

namespace {

const std::string kGif = "GIF89a\x01\x00\x01\x00 picture of a cat";
constexpr unsigned kBlocked = 404;  // no alternate configured
const std::string kForeignPage = "<img src=\"http://localhost/images/cat.gif\">\n";

// The stand-in files of one test: registry, store and install folder, as scripts/stand-in.sh
// lays them out; two sites on one loopback listener told apart by host name.
class MetabaseHostTest : public testing::Test {
  protected:
    void SetUp() override {
        ::setenv("PIXWALL_HOME", folder.Path().c_str(), 1);
        ::setenv(platform::kRegistryFileVariable, folder.PathOf("registry.reg").c_str(), 1);
        ::setenv("PIXWALL_METABASE", Store().c_str(), 1);
        folder.Write("shop/images/cat.gif", kGif);
        folder.Write("foreign/index.html", kForeignPage);
        fs::create_directories(folder.PathOf("pixwall/LogFiles"));
        fs::copy_file(PIXWALL_MODULE, folder.PathOf("pixwall/pixwall.so"));
        folder.Write("pixwall/corvane.ini", "[settings]\nfiltername=pixwall\n");
        folder.Write("pixwall/pixwall.ini", "[logging]\nlogging=on\n");
        folder.Write("pixwall/blocked_types.txt", "gif\n");
        folder.Write("pixwall/referrer_blacklist.txt", "foreign.test\n");
        platform::SetRegistryString(platform::RegistryRoot::LocalMachine,
                                    "software\\orlentek\\pixwall", "install_dir",
                                    folder.PathOf("pixwall"));
        folder.Write("metabase.txt",
                     "[/LM/W3SVC]\n"
                     "[/LM/W3SVC/1]\n1002 STRING \"IIsWebServer\"\n"
                     "1015 STRING \"Shop\"\n"
                     "1023 MULTISZ \"127.0.0.1:0:localhost\"\n"
                     "[/LM/W3SVC/1/ROOT]\n3001 STRING \"" +
                         folder.PathOf("shop") +
                         "\"\n"
                         "[/LM/W3SVC/2]\n1002 STRING \"IIsWebServer\"\n"
                         "1015 STRING \"Foreign\"\n"
                         "1023 MULTISZ \"127.0.0.1:0:foreign.test\"\n"
                         "[/LM/W3SVC/2/ROOT]\n3001 STRING \"" +
                         folder.PathOf("foreign") + "\"\n");
        // Registered and created as the manager program does.
        void* library = ::dlopen(TALISCOM_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << ::dlerror();
        const auto registerServer = reinterpret_cast<tabi::DllRegisterServerFunction>(
            ::dlsym(library, "DllRegisterServer"));
        ASSERT_EQ(registerServer(), taliscom::hr::kOk);
        ::dlclose(library);
        ASSERT_EQ(taliscom::CreateComponentInstance(taliscom::kClsidFilterManager,
                                                    taliscom::kIidFilterManager,
                                                    reinterpret_cast<void**>(&manager)),
                  taliscom::hr::kOk);
    }
    void TearDown() override {
        if (manager != nullptr) manager->Release();
        for (const char* name : {"PIXWALL_HOME", "PIXWALL_METABASE", "PIXWALL_REGISTRY"}) {
            ::unsetenv(name);
        }
    }

    std::string Store() const { return folder.PathOf("metabase.txt"); }

    // The shop's image as the foreign page's visitors ask for it.
    unsigned HotLinked(const HostProcess& host, std::string* body = nullptr) {
        HttpClient client(host.Port("localhost"));
        const auto response =
            client.Get("/images/cat.gif", "localhost", {{"Referer", "http://foreign.test/"}});
        if (!response) return 0;
        if (body != nullptr) *body = response->body();
        return response->result_int();
    }

    static int IisReset() {
        return std::system((std::string(PIXWALL_IISRESET) + " /restart >/dev/null").c_str());
    }

    TempFolder folder;
    tabi::IFilterManager* manager = nullptr;
};

TEST_F(MetabaseHostTest, ServesWhatTheStoreSaysAndTakesChangesAtRestart) {
    const std::u16string module = text::Utf8ToUtf16(folder.PathOf("pixwall/pixwall.so"));
    ASSERT_EQ(manager->AddWebFilter(module.c_str(), u"Shop"), taliscom::hr::kOk);

    HostProcess host({"--threads", "2", "--timeout", "5"}, 2);  // the store from the environment
    ASSERT_EQ(host.Port("localhost"), host.Port("foreign.test"));
    HttpClient foreign(host.Port("foreign.test"));
    const auto page = foreign.Get("/", "foreign.test");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->body(), kForeignPage);  // the Host header chose the site
    EXPECT_EQ(HotLinked(host), kBlocked);

    ASSERT_EQ(manager->RemoveWebFilter(u"pixwall", u"Shop"), taliscom::hr::kOk);
    EXPECT_EQ(HotLinked(host), kBlocked) << "the host takes changes only at a restart";
    ASSERT_EQ(IisReset(), 0);
    std::string body;
    EXPECT_EQ(HotLinked(host, &body), 200u);
    EXPECT_EQ(body, kGif);

    // Installed again: the module, unloaded at the last restart, starts afresh.
    ASSERT_EQ(manager->AddWebFilter(module.c_str(), nullptr), taliscom::hr::kOk);
    ASSERT_EQ(IisReset(), 0);
    EXPECT_EQ(HotLinked(host), kBlocked);
    EXPECT_EQ(host.Stop(), 0);
    const std::vector<std::string> expected = {
        "Pixwall for IIS started",
        "Blocking /images/cat.gif : Referrer foreign.test is black listed",
        "Blocking /images/cat.gif : Referrer foreign.test is black listed",
        "Pixwall for IIS stopped",
        "Pixwall for IIS started",
        "Blocking /images/cat.gif : Referrer foreign.test is black listed",
        "Pixwall for IIS stopped",
    };
    EXPECT_EQ(LogMessages(folder.Lines("pixwall/LogFiles/pixwall.log")), expected);
    EXPECT_FALSE(folder.Exists("metabase.txt.pid")) << "the pid file goes with the host";
}

TEST_F(MetabaseHostTest, ASiteWhoseFilterCannotLoadIsNotServed) {
    const std::u16string missing = text::Utf8ToUtf16(folder.PathOf("pixwall/pixwall.so"));
    ASSERT_EQ(manager->AddWebFilter(missing.c_str(), u"Shop"), taliscom::hr::kOk);
    fs::remove(folder.PathOf("pixwall/pixwall.so"));
    {
        HostProcess host({"--metabase", Store()}, 1);
        HttpClient client(host.Port("foreign.test"));
        const auto page = client.Get("/", "foreign.test");
        ASSERT_TRUE(page);
        EXPECT_EQ(page->result_int(), 200u);
        HttpClient shop(host.Port("foreign.test"));
        const auto refused = shop.Get("/images/cat.gif", "localhost");
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->result_int(), 400u) << "no site answers for localhost";
        EXPECT_EQ(host.Stop(), 0);
    }
    EXPECT_EQ(IisReset(), 1 << 8) << "no host runs any more";
}

TEST_F(MetabaseHostTest, EndsWhenTheStoreHasNoSiteToServe) {
    std::string output;
    EXPECT_EQ(HostProcess::RunToEnd({"--metabase", folder.PathOf("none.txt")}, output), 1);
    EXPECT_NE(output.find(folder.PathOf("none.txt") + ": no such metabase store"),
              std::string::npos)
        << output;
}

}  // namespace
