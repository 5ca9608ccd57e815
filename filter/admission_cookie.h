// The "PIXWALLID" cookie: a page request hands the client its own address in base64, and a
// protected request that brings it back from that same address is let through.
#pragma once

#include <string>
#include <string_view>

inline constexpr const char* kAdmissionCookieName = "PIXWALLID";

// The response header line that sets the cookie for the address, CR LF included.
std::string AdmissionCookieHeader(std::string_view clientAddress);

// The value after the first "=" that follows the first occurrence of the name anywhere in the
// Cookie header, up to the next ";", decodes to exactly the address (the decoded text ends at its
// first NUL). An empty or malformed value does not.
bool CookieAdmits(std::string_view cookieHeader, std::string_view clientAddress);

class RequestFacts;

// CookieAdmits for the request's Cookie header (read when the cookie can decide) and address.
bool CookieAdmissionValid(const RequestFacts& facts);
