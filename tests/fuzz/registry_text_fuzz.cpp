// The registry stand-in's REGEDIT4 reader on any text: what it reads, written back and read
// again, is the same tree.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "fuzz_check.h"
#include "platform/registry_text.h"

namespace {

bool SameValue(const platform::RegistryKeyData& a, const platform::RegistryKeyData& b) {
    if (a.values.size() != b.values.size()) return false;
    for (auto left = a.values.begin(), right = b.values.begin(); left != a.values.end();
         ++left, ++right) {
        if (left->first != right->first || left->second.index() != right->second.index()) {
            return false;
        }
        const auto& x = left->second;
        const auto& y = right->second;
        if (const auto* text = std::get_if<std::string>(&x)) {
            if (*text != std::get<std::string>(y)) return false;
        } else if (const auto* number = std::get_if<std::uint32_t>(&x)) {
            if (*number != std::get<std::uint32_t>(y)) return false;
        } else if (std::get<platform::RegistryRawValue>(x).text !=
                   std::get<platform::RegistryRawValue>(y).text) {
            return false;
        }
    }
    return true;
}

bool SameTree(const platform::RegistryTree& a, const platform::RegistryTree& b) {
    if (a.size() != b.size()) return false;
    for (auto left = a.begin(), right = b.begin(); left != a.end(); ++left, ++right) {
        if (left->first != right->first || !SameValue(left->second, right->second)) return false;
    }
    return true;
}

}  // namespace

// A text that does not parse is refused; one that does is written back and read again unchanged.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<platform::RegistryTree> tree = platform::ParseRegistryText(text, error);
    if (!tree) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string written = platform::FormatRegistryText(*tree);
    const std::optional<platform::RegistryTree> again = platform::ParseRegistryText(written, error);
    FUZZ_CHECK(again && SameTree(*again, *tree));
    return 0;
}
