#include "nginx_process.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "child_process.h"

#ifndef PIXWALL_NGINX_MODULE
#error PIXWALL_NGINX_MODULE names the nginx module file
#endif
#ifndef PIXWALL_NGINX
#error PIXWALL_NGINX names the nginx program
#endif

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(20);

// A port nobody listens on now: the kernel's pick for a socket bound to port 0.
unsigned short FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0) close(fd);
        throw std::runtime_error("no free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool Listens(unsigned short port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

pid_t Spawn(std::vector<std::string> arguments, const std::string& outputFile) {
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (!outputFile.empty() && freopen(outputFile.c_str(), "w", stdout) != nullptr) {
            dup2(1, 2);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string NginxProcess::WriteConfiguration(const std::string& folder, const std::string& http,
                                             int processes, std::vector<unsigned short>& ports,
                                             int portCount) {
    std::string block = http;
    for (int i = 0; i < portCount; ++i) {
        ports.push_back(FreePort());
        block = ReplaceAll(block, "@PORT" + std::to_string(i) + "@", std::to_string(ports.back()));
    }
    std::filesystem::create_directories(folder + "/tmp");
    const std::string file = folder + "/nginx.conf";
    std::ofstream out(file);
    out << "load_module " << PIXWALL_NGINX_MODULE << ";\n"
        << "worker_processes " << processes << ";\n"
        << "daemon off;\n"
        << "pid " << folder << "/nginx.pid;\n"
        << "error_log " << folder
        << "/error.log notice;\n"
        // As root, nginx's workers would become nobody, who may not read the test's folder.
        << (geteuid() == 0 ? "user root;\n" : "") << "events { worker_connections 256; }\n"
        << "http {\n"
        << "    include /etc/nginx/mime.types;\n"
        << "    access_log off;\n";
    for (const char* kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
        out << "    " << kind << "_temp_path " << folder << "/tmp;\n";
    }
    out << block << "}\n";
    return file;
}

NginxProcess::NginxProcess(const std::string& folder, const std::string& http, int processes,
                           int ports)
    : folder_(folder) {
    const std::string file = WriteConfiguration(folder, http, processes, ports_, ports);
    pid_ = Spawn({PIXWALL_NGINX, "-p", folder, "-c", file, "-e", folder + "/error.log"}, "");
    const auto deadline = Clock::now() + kPatience;
    for (const unsigned short port : ports_) {
        while (!Listens(port)) {
            int status = 0;
            if (Clock::now() > deadline || waitpid(pid_, &status, WNOHANG) == pid_) {
                if (Clock::now() > deadline) Stop();
                pid_ = -1;
                throw std::runtime_error("nginx did not start: " + ErrorLog());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    // The master listens before its workers have started the filters: wait for each worker.
    const std::string started = "pixwall: filters started";
    while (http.find("pixwall_filter") != std::string::npos) {
        const std::string log = ErrorLog();
        int count = 0;
        for (auto at = log.find(started); at != std::string::npos; at = log.find(started, at + 1)) {
            ++count;
        }
        if (count >= processes) break;
        if (Clock::now() > deadline) {
            Stop();
            throw std::runtime_error("nginx's workers did not start the filters: " + log);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

NginxProcess::~NginxProcess() { Stop(); }

void NginxProcess::Reload() const {
    if (pid_ > 0) kill(pid_, SIGHUP);
}

int NginxProcess::Stop() {
    if (pid_ < 0) return -1;
    kill(pid_, SIGTERM);
    const int status = WaitForExit(pid_, Clock::now() + kPatience);
    pid_ = -1;
    return status;
}

std::string NginxProcess::ErrorLog() const { return ReadFile(folder_ + "/error.log"); }

int NginxProcess::Test(const std::string& folder, const std::string& http, std::string& output) {
    std::vector<unsigned short> ports;
    const std::string file = WriteConfiguration(folder, http, 1, ports, 1);
    const std::string outputFile = folder + "/test-output.txt";
    const pid_t pid = Spawn({PIXWALL_NGINX, "-t", "-p", folder, "-c", file}, outputFile);
    const int status = WaitForExit(pid, Clock::now() + kPatience);
    output = ReadFile(outputFile);
    return status;
}
