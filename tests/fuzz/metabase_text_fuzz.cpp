// The metabase stand-in's store file reader on any text: what it reads, written back and read
// again, gives the same file.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "metabase/metabase_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The reader that skips what it cannot take always gives a tree, and skips nothing of a
    // text the strict reader takes whole.
    std::vector<metabase::SkippedLine> skipped;
    FUZZ_CHECK(metabase::ParseSkipping(text, skipped) != nullptr);
    std::string error;
    const std::unique_ptr<metabase::Node> tree = metabase::Parse(text, error);
    if (!tree) {
        FUZZ_CHECK(!error.empty());  // refused as a whole, and told why
        return 0;
    }
    FUZZ_CHECK(skipped.empty());
    const std::string written = metabase::Format(*tree);
    const std::unique_ptr<metabase::Node> again = metabase::Parse(written, error);
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(metabase::Format(*again) == written);
    return 0;
}
