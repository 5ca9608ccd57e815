// The admission cookie search on any Cookie header and address: admitting needs the cookie's
// name in the header, and a header that carries the address's own cookie admits it.
#include <fuzzer/FuzzedDataProvider.h>

#include "admission_cookie.h"
#include "base64.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string address = input.ConsumeRandomLengthString(64);
    const std::string header = input.ConsumeRemainingBytesAsString();
    if (CookieAdmits(header, address)) {
        FUZZ_CHECK(header.find(kAdmissionCookieName) != std::string::npos);
        FUZZ_CHECK(!address.empty());
    }
    const bool plainAddress = !address.empty() && address.find('\0') == std::string::npos &&
                              address.find(';') == std::string::npos;
    if (plainAddress) {
        const std::string own = std::string(kAdmissionCookieName) + "=" + base64::Encode(address);
        FUZZ_CHECK(CookieAdmits(own, address));
        FUZZ_CHECK(CookieAdmits(own + "; " + header, address));
        const std::string line = AdmissionCookieHeader(address);
        FUZZ_CHECK(line.ends_with("\r\n"));
        FUZZ_CHECK(line.find('\n') == line.size() - 1);
    }
    return 0;
}
