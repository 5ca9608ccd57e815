// The metabase stand-in's store file reader on any text: what it reads, written back and read
// again, gives the same file.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "metabase_store.h"

using taliscom::MetabaseStore;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::unique_ptr<MetabaseStore::Node> tree = MetabaseStore::Parse(text, error);
    if (!tree) {  // refused as a whole, saying why
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string written = MetabaseStore::Format(*tree);
    const std::unique_ptr<MetabaseStore::Node> again = MetabaseStore::Parse(written, error);
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(MetabaseStore::Format(*again) == written);
    return 0;
}
