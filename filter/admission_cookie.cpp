#include "admission_cookie.h"

#include <cstdio>
#include <cstring>
#include <optional>

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
    return CookieAdmits(facts.cookieHeader, facts.clientAddress);
}
