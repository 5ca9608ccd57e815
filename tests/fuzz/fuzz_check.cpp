#include "fuzz_check.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "temp_folder.h"

namespace fuzz {

void Fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::abort();
}

std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
    static TempFolder folder;  // removed when the process ends
    const std::string path = folder.PathOf(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

}  // namespace fuzz
