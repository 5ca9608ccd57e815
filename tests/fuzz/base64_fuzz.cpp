// The base64 decoder on any text: what it accepts encodes back to the same text, and whatever is
// encoded decodes back.
#include <cstdint>

#include "base64.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (const std::optional<std::string> decoded = base64::Decode(bytes)) {
        FUZZ_CHECK(base64::Encode(*decoded) == bytes);
    }
    const std::string encoded = base64::Encode(bytes);
    FUZZ_CHECK(encoded.size() % 4 == 0);
    const std::optional<std::string> back = base64::Decode(encoded);
    FUZZ_CHECK(back && *back == bytes);
    return 0;
}
