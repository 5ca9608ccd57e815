#include "admission_cookie.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "base64.h"
#include "request_facts.h"

std::string AdmissionCookieHeader(std::string_view clientAddress) {
    const std::string value = base64::Encode(clientAddress);
    const char* const format = "Set-Cookie: %s=%s; path=/;\r\n";
    const int length = std::snprintf(nullptr, 0, format, kAdmissionCookieName, value.c_str());
    if (length < 0) return {};
    std::string header(static_cast<std::size_t>(length), '\0');
    std::snprintf(header.data(), header.size() + 1, format, kAdmissionCookieName, value.c_str());
    return header;
}

std::string ReadCookieHeader(const RequestFacts& facts) {
    if (facts.headers == nullptr || facts.headers->GetHeader == nullptr) return {};
    std::vector<char> buffer(kCookieBufferSize, '\0');
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!facts.headers->GetHeader(facts.context, const_cast<char*>("Cookie:"), buffer.data(),
                                  &size)) {
        return {};
    }
    // Whatever the host wrote, never read past the buffer.
    const void* end = std::memchr(buffer.data(), '\0', buffer.size());
    return std::string(buffer.data(),
                       end ? static_cast<const char*>(end) - buffer.data() : buffer.size());
}

bool CookieAdmits(std::string_view cookieHeader, std::string_view clientAddress) {
    const std::size_t name = cookieHeader.find(kAdmissionCookieName);
    if (name == std::string_view::npos) return false;
    const std::size_t equals = cookieHeader.find('=', name);
    if (equals == std::string_view::npos) return false;
    const std::size_t start = equals + 1;
    const std::size_t end = cookieHeader.find(';', start);
    const std::string_view value =
        cookieHeader.substr(start, end == std::string_view::npos ? end : end - start);
    if (value.empty()) return false;
    std::optional<std::string> decoded = base64::Decode(value);
    if (!decoded) return false;
    decoded->resize(std::strlen(decoded->c_str()));
    // A value that decodes to nothing names no address, not the missing one.
    return !decoded->empty() && *decoded == clientAddress;
}

bool CookieAdmissionValid(const RequestFacts& facts) {
    return CookieAdmits(ReadCookieHeader(facts), facts.clientAddress);
}
