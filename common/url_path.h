// A request's path as a path below a document root: what the web server serves and what the
// report costs a blocked request by.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// `path` is the URL's path (the query already cut), starting with "/". The result is relative,
// escapes decoded, empty segments dropped. Absent for a malformed escape, an escape that gives a
// separator or a NUL, a raw backslash, NUL or colon (a drive or a stream on Windows), or a "."
// or ".." segment: no spelling leads outside the root.
std::optional<std::filesystem::path> PathBelowRoot(std::string_view path);
