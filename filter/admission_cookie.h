// The "PIXWALLID" cookie: a page request hands the client its own address in base64, and a
// protected request that brings it back from that same address is let through.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct RequestFacts;

inline constexpr const char* kAdmissionCookieName = "PIXWALLID";
// The Cookie header is read into this many bytes; a longer header counts as empty.
inline constexpr std::size_t kCookieBufferSize = 4096;

// The response header line that sets the cookie for the address, CR LF included.
std::string AdmissionCookieHeader(std::string_view clientAddress);

// The request's Cookie header, empty when absent or too long for the buffer.
std::string ReadCookieHeader(const RequestFacts& facts);

// The value after the first "=" that follows the first occurrence of the name anywhere in the
// header, up to the next ";", decodes to exactly the address (the decoded text ends at its
// first NUL). An empty or malformed value does not.
bool CookieAdmits(std::string_view cookieHeader, std::string_view clientAddress);

// CookieAdmits for the request's own Cookie header and client address.
bool CookieAdmissionValid(const RequestFacts& facts);
