// The registry stand-in's REGEDIT4 reader on any text: what it reads, written back and read
// again, is the same tree; a text it refuses is refused with a reason.
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_check.h"
#include "platform/registry_text.h"

namespace {

bool SameTree(const platform::RegistryTree& a, const platform::RegistryTree& b) {
    if (a.size() != b.size()) return false;
    for (auto left = a.begin(), right = b.begin(); left != a.end(); ++left, ++right) {
        if (left->first != right->first || left->second.values != right->second.values) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<platform::RegistryTree> tree = platform::ParseRegistryText(text, error);
    if (!tree) {
        FUZZ_CHECK(!error.empty());  // refused as a whole, and told why
        return 0;
    }
    const std::string written = platform::FormatRegistryText(*tree);
    const std::optional<platform::RegistryTree> again = platform::ParseRegistryText(written, error);
    FUZZ_CHECK(again && SameTree(*again, *tree));
    return 0;
}
