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
    "\"multi\"=hex(7):41,00,00,\\\n"
    "  00,00\n"
    "\n"
    "[HKEY_CLASSES_ROOT\\CLSID]\n";

platform::RegistryTree Parse(std::string_view text) {
    std::string error;
    auto tree = platform::ParseRegistryText(text, error);
    EXPECT_TRUE(tree.has_value()) << error;
    return tree.value_or(platform::RegistryTree());
}

TEST(RegistryFile, ParsesStringsEscapesDwordsAndDefaults) {
    const platform::RegistryTree tree = Parse(kText);
    ASSERT_EQ(tree.size(), 2u);
    const auto& key = tree.at("hkey_local_machine\\SOFTWARE\\Orlentek\\Pixwall");
    EXPECT_EQ(std::get<std::string>(key.values.at("INSTALL_DIR")), "C:\\Program Files\\Pixwall\\");
    EXPECT_EQ(std::get<std::string>(key.values.at("quote")), "say \"hi\"");
    EXPECT_EQ(std::get<std::string>(key.values.at("")), "default");
    EXPECT_EQ(std::get<std::uint32_t>(key.values.at("count")), 42u);
    // Types the stand-in does not interpret are kept as written, continuation lines joined.
    EXPECT_EQ(std::get<platform::RegistryRawValue>(key.values.at("multi")).text,
              "hex(7):41,00,00,00,00");
}

TEST(RegistryFile, FormatReadsBackUnchanged) {
    const platform::RegistryTree tree = Parse(kText);
    const std::string text = platform::FormatRegistryText(tree);
    EXPECT_EQ(platform::FormatRegistryText(Parse(text)), text);
    EXPECT_EQ(Parse(text).size(), tree.size());
    EXPECT_NE(text.find("\"multi\"=hex(7):41,00,00,00,00\n"), std::string::npos);
}

TEST(RegistryFile, AContinuedValueReadsBackTheSameOnceWritten) {
    // Blanks before the "\" and an empty continuation line (found by fuzzing).
    for (const char* text : {"REGEDIT4\n[H]\n\"\"=hex:\t\\\n\n",
                             "REGEDIT4\n[H]\n\"v\"=hex:01, \\\n  02 \t\\\n\n"}) {
        SCOPED_TRACE(text);
        const platform::RegistryTree tree = Parse(text);
        const platform::RegistryTree back = Parse(platform::FormatRegistryText(tree));
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back.begin()->second.values, tree.begin()->second.values);
    }
}

TEST(RegistryFile, NamesAndValuesWithLineBreaksQuotesAndBracketsReadBack) {
    const std::string awkward = "a\nb]\r\"[c] 100%";
    platform::RegistryTree tree;
    tree["HKEY_LOCAL_MACHINE\\" + awkward].values[awkward] = awkward;
    tree["HKEY_LOCAL_MACHINE\\" + awkward].values["x"] = "]\n[HKEY_LOCAL_MACHINE\\evil]";
    const platform::RegistryTree back = Parse(platform::FormatRegistryText(tree));
    ASSERT_EQ(back.size(), 1u);
    const auto& values = back.begin()->second.values;
    EXPECT_EQ(back.begin()->first, "HKEY_LOCAL_MACHINE\\" + awkward);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(std::get<std::string>(values.at(awkward)), awkward);
    EXPECT_EQ(std::get<std::string>(values.at("x")), "]\n[HKEY_LOCAL_MACHINE\\evil]");
}

TEST(RegistryFile, RefusesATextThatDoesNotParseWhole) {
    struct Case {
        const char* name;
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"no header", "[HKEY_CLASSES_ROOT\\A]\n", "line 1: the file must begin with REGEDIT4"},
        {"comment", "REGEDIT4\n\n; hand note\n", "line 3: comments are not allowed"},
        {"garbage", "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\ngarbage line\n",
         "line 3: not a key, a value or a blank line"},
        {"value outside a key", "REGEDIT4\n\"a\"=\"b\"\n", "line 2: a value outside any key"},
        {"unknown type", "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"a\"=str(2):\"x\"\n",
         "line 3: unknown value type"},
        {"bad dword", "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"a\"=dword:12345678a\n",
         "line 3: unreadable dword value"},
        {"unterminated string", "REGEDIT4\n[HKEY_CLASSES_ROOT\\A]\n\"a\"=\"open\n",
         "line 3: unreadable string value"},
        {"deletion", "REGEDIT4\n[-HKEY_CLASSES_ROOT\\A]\n", "line 2: not a key name"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(platform::ParseRegistryText(c.text, error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
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
