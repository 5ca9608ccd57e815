// The path of the file a request target names: what the filter judges, what the web servers
// serve and what the report costs a blocked request by. One mapping for all of them, so that no
// spelling of a target is judged as one file and served as another.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

// `target` is the request target in origin form ("/images/a.gif?x=1"). The path, starting with
// "/": the query and the fragment cut (at the first "?" or "#"), escapes decoded, where an
// escaped "/" or "\" separates as the plain one does, "\" read as "/", repeated "/" merged, "."
// segments dropped and each ".." segment taken back with the segment before it; a trailing "/"
// is kept. Absent, a bad request, for a target that does not start with "/", a malformed escape,
// a NUL, or a ".." above the root. `buffer` holds target.size() bytes: the path is never longer.
std::optional<std::string_view> ServedPath(std::string_view target, char* buffer);

// The same path relative to a document root, for opening the file: absent where ServedPath is,
// and for a ":" (a drive or a stream on Windows).
std::optional<std::filesystem::path> PathBelowRoot(std::string_view target);
