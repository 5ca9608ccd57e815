#include <fstream>
#include <iterator>

#include "store_file.h"

namespace taliscom {

std::optional<std::string> ReadStoreFile(const std::filesystem::path& store) {
    std::ifstream in(store, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace taliscom
