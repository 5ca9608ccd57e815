#include "temp_folder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#define GET_PID _getpid
#else
#include <unistd.h>
#define GET_PID getpid
#endif

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("pixwall-test-" + std::to_string(GET_PID()) + "-" + std::to_string(counter++) + "-" +
             std::to_string(stamp));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::Path() const { return path_.string(); }

std::string TempFolder::PathOf(const std::string& name) const { return (path_ / name).string(); }

void TempFolder::Write(const std::string& name, const std::string& content) const {
    const auto target = path_ / name;
    std::filesystem::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary) << content;
}

std::string TempFolder::Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool TempFolder::Exists(const std::string& name) const {
    return std::filesystem::exists(path_ / name);
}

void TempFolder::Remove(const std::string& name) const {
    std::error_code ignored;
    std::filesystem::remove(path_ / name, ignored);
}

std::vector<std::string> TempFolder::Lines(const std::string& name) const {
    std::vector<std::string> lines;
    std::istringstream in(Read(name));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string LogMessage(const std::string& line) {
    const auto separator = line.find(" : ");
    return separator == std::string::npos ? line : line.substr(separator + 3);
}

std::vector<std::string> LogMessages(const std::vector<std::string>& lines) {
    std::vector<std::string> messages;
    for (const auto& line : lines) messages.push_back(LogMessage(line));
    return messages;
}
