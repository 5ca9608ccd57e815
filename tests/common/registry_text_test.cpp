#include "platform/registry_text.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/registry.h"
#include "temp_folder.h"

namespace {

const char* const kText =
    "REGEDIT4\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\Software\\orlentek\\pixwall]\n"
    "\"install_dir\"=\"C:\\\\Program Files\\\\Pixwall\\\\\"\n"
    "\"quote\"=\"say \\\"hi\\\"\"\n"
    "@=\"default\"\n"
    "\"count\"=dword:0000002a\n"
    "garbage line\n"
    "\n"
    "[HKEY_CLASSES_ROOT\\CLSID]\n";

TEST(RegistryFile, ParsesStringsEscapesDwordsAndDefaults) {
    const platform::RegistryTree tree = platform::ParseRegistryText(kText);
    ASSERT_EQ(tree.size(), 2u);
    const auto& key = tree.at("hkey_local_machine\\SOFTWARE\\Orlentek\\Pixwall");
    EXPECT_EQ(std::get<std::string>(key.values.at("INSTALL_DIR")), "C:\\Program Files\\Pixwall\\");
    EXPECT_EQ(std::get<std::string>(key.values.at("quote")), "say \"hi\"");
    EXPECT_EQ(std::get<std::string>(key.values.at("")), "default");
    EXPECT_EQ(std::get<std::uint32_t>(key.values.at("count")), 42u);
}

TEST(RegistryFile, FormatReadsBackUnchanged) {
    const platform::RegistryTree tree = platform::ParseRegistryText(kText);
    const std::string text = platform::FormatRegistryText(tree);
    EXPECT_EQ(platform::FormatRegistryText(platform::ParseRegistryText(text)), text);
    EXPECT_EQ(platform::ParseRegistryText(text).size(), tree.size());
}

TEST(RegistryFile, ReadsThroughTheEnvironmentVariable) {
    TempFolder folder;
    folder.Write("registry.reg", kText);
    setenv(platform::kRegistryFileVariable, folder.PathOf("registry.reg").c_str(), 1);
    using platform::RegistryRoot;
    EXPECT_EQ(platform::ReadRegistryString(RegistryRoot::LocalMachine,
                                           "Software\\orlentek\\pixwall", "install_dir", 260),
              "C:\\Program Files\\Pixwall\\");
    // The value and its NUL must fit the buffer.
    EXPECT_FALSE(platform::ReadRegistryString(RegistryRoot::LocalMachine,
                                              "Software\\orlentek\\pixwall", "install_dir", 25));
    EXPECT_TRUE(platform::ReadRegistryString(RegistryRoot::LocalMachine,
                                             "Software\\orlentek\\pixwall", "install_dir", 26));
    EXPECT_FALSE(platform::ReadRegistryString(RegistryRoot::LocalMachine,
                                              "Software\\orlentek\\pixwall", "count", 260));
    EXPECT_FALSE(platform::ReadRegistryString(RegistryRoot::ClassesRoot,
                                              "Software\\orlentek\\pixwall", "install_dir", 260));
    unsetenv(platform::kRegistryFileVariable);
    EXPECT_FALSE(platform::ReadRegistryString(RegistryRoot::LocalMachine,
                                              "Software\\orlentek\\pixwall", "install_dir", 260));
}

}  // namespace
