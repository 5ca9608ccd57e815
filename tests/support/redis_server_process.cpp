#include "redis_server_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/tcp_connection.h"

namespace {

using Clock = std::chrono::steady_clock;

// A port nobody listens on now (the kernel's choice for a socket bound to port 0).
unsigned short FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool AnswersPing(unsigned short port) {
    platform::TcpConnection connection;
    const auto deadline = Clock::now() + std::chrono::milliseconds(200);
    if (!connection.Connect("127.0.0.1", port, deadline)) return false;
    if (!connection.Send("PING\r\n", deadline)) return false;
    char reply[16];
    const std::size_t got = connection.Receive(reply, sizeof reply, deadline);
    return std::string(reply, got).rfind("+PONG", 0) == 0;
}

}  // namespace

std::string RedisServerProcess::Program() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/usr/sbin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::filesystem::path candidate = std::filesystem::path(folder) / "redis-server";
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return {};
}

RedisServerProcess::RedisServerProcess() {
    const std::string program = Program();
    if (program.empty()) return;
    port_ = FreePort();
    std::vector<std::string> arguments = {
        program,        "--port", std::to_string(port_), "--bind",  "127.0.0.1",   "--save", "",
        "--appendonly", "no",     "--loglevel",          "warning", "--daemonize", "no"};
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        // Its start-up notes would only clutter the test's output.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        if (chdir("/tmp") != 0) _exit(127);  // where a dump would go, were one asked for
        execv(argv[0], argv.data());
        _exit(127);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && !AnswersPing(port_)) {
        if (Clock::now() > deadline || waitpid(pid_, nullptr, WNOHANG) == pid_) {
            Stop();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void RedisServerProcess::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
}
