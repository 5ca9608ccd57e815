// The metabase stand-in's store file reader on any text: what it reads, written back and read
// again, gives the same file.
#include <cstdint>

#include "fuzz_check.h"
#include "metabase_store.h"

using taliscom::MetabaseStore;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::unique_ptr<MetabaseStore::Node> tree = MetabaseStore::Parse(text);
    if (!tree) return 0;  // refused as a whole
    const std::string written = MetabaseStore::Format(*tree);
    const std::unique_ptr<MetabaseStore::Node> again = MetabaseStore::Parse(written);
    FUZZ_CHECK(again != nullptr);
    FUZZ_CHECK(MetabaseStore::Format(*again) == written);
    return 0;
}
