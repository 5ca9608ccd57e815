// The metabase stand-in's store file reader on any text: what it reads, written back and read
// again, gives the same file.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "metabase_store.h"

using taliscom::MetabaseStore;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The reader that skips what it cannot take always gives a tree, and skips nothing of a
    // text the strict reader takes whole.
    std::vector<MetabaseStore::SkippedLine> skipped;
    FUZZ_CHECK(MetabaseStore::ParseSkipping(text, skipped) != nullptr);
    std::string error;
    const std::unique_ptr<MetabaseStore::Node> tree = MetabaseStore::Parse(text, error);
    if (!tree) {
        FUZZ_CHECK(!error.empty());  // refused as a whole, and told why
        return 0;
    }
    FUZZ_CHECK(skipped.empty());
    const std::string written = MetabaseStore::Format(*tree);
    const std::unique_ptr<MetabaseStore::Node> again = MetabaseStore::Parse(written, error);
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(MetabaseStore::Format(*again) == written);
    return 0;
}
