// The file type derivation on any URL: a lowercased type without a dot, and the same type for
// the URL with its query changed.
#include <cstdint>

#include "fuzz_check.h"
#include "request_facts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    char buffer[RequestFacts::kUrlBuffer];
    const std::string type(RequestFacts::DeriveFileType(url, buffer));
    FUZZ_CHECK(type.size() <= url.size());
    FUZZ_CHECK(type.find('.') == std::string::npos);
    for (const char c : type) FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
    FUZZ_CHECK(type.empty() || type.back() != ' ');
    const std::string_view path = url.substr(0, url.find('?'));
    char again[RequestFacts::kUrlBuffer];
    FUZZ_CHECK(RequestFacts::DeriveFileType(std::string(path) + "?q=x.GIF", again) == type);
    return 0;
}
