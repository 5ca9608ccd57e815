#include "host_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <stdexcept>
#include <thread>

#include "child_process.h"

#ifndef PIXWALL_HOST_PROGRAM
#error PIXWALL_HOST_PROGRAM names the host program
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);

// Reads what is there within the time left; false at end of stream or when time is up.
bool ReadSome(int fd, std::string& into, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd wanted{fd, POLLIN, 0};
    if (poll(&wanted, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[4096];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return false;
    into.append(chunk, static_cast<std::size_t>(n));
    return true;
}

}  // namespace

pid_t HostProcess::Spawn(const std::vector<std::string>& arguments, int& outputFd) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    std::vector<char*> argv;
    std::string program = PIXWALL_HOST_PROGRAM;
    argv.push_back(program.data());
    std::vector<std::string> copies(arguments);
    for (auto& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    outputFd = pipeFds[0];
    return pid;
}

HostProcess::HostProcess(const std::vector<std::string>& arguments, std::size_t sites) {
    pid_ = Spawn(arguments, outputFd_);
    const std::regex listening(R"(listening http://([^:/ ]+):([0-9]+)/)");
    std::string output;
    const auto deadline = Clock::now() + kPatience;
    while (ports_.size() < sites) {
        if (!ReadSome(outputFd_, output, deadline)) {
            Stop();
            throw std::runtime_error("pixwall-host did not start: " + output);
        }
        ports_.clear();
        for (std::sregex_iterator it(output.begin(), output.end(), listening), end; it != end;
             ++it) {
            ports_[(*it)[1]] = static_cast<unsigned short>(std::stoi((*it)[2]));
        }
    }
}

HostProcess::~HostProcess() { Stop(); }

unsigned short HostProcess::Port(const std::string& serverName) const {
    const auto found = ports_.find(serverName);
    if (found == ports_.end()) throw std::runtime_error("no site named " + serverName);
    return found->second;
}

int HostProcess::Stop() {
    if (pid_ < 0) return -1;
    kill(pid_, SIGTERM);
    const int status = WaitForExit(pid_, Clock::now() + kPatience);
    pid_ = -1;
    close(outputFd_);
    outputFd_ = -1;
    return status;
}

int HostProcess::RunToEnd(const std::vector<std::string>& arguments, std::string& output) {
    int fd = -1;
    const pid_t pid = Spawn(arguments, fd);
    const auto deadline = Clock::now() + kPatience;
    while (ReadSome(fd, output, deadline)) {
    }
    close(fd);
    return WaitForExit(pid, deadline);
}
