// The machine where there is no Windows: no sockets layer to start, the administrator is the
// superuser, the system is not of the NT family, and the command interpreter is COMSPEC when it
// names one, else the shell.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "machine.h"

bool SystemMachine::StartSockets() { return true; }

void SystemMachine::StopSockets() {}

bool SystemMachine::IsAdministrator() { return ::geteuid() == 0; }

std::optional<std::string> SystemMachine::CurrentFolder() {
    char folder[PATH_MAX];
    if (::getcwd(folder, sizeof folder) == nullptr) return std::nullopt;
    return std::string(folder);
}

bool SystemMachine::FileExists(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0;
}

std::optional<OsVersion> SystemMachine::QueryOsVersion() { return OsVersion{}; }

// The interpreter runs detached from the terminal that the dialog draws on, as it runs in a
// console window of its own on Windows.
void SystemMachine::RunThroughInterpreter(const std::string& commandLine) {
    const pid_t child = ::fork();
    if (child < 0) return;
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
        }
        const char* comspec = std::getenv("COMSPEC");
        if (comspec != nullptr && *comspec != '\0') {
            ::execl(comspec, comspec, "/c", commandLine.c_str(), static_cast<char*>(nullptr));
            if (errno != ENOENT && errno != EACCES) ::_exit(127);
        }
        ::execl("/bin/sh", "sh", "-c", commandLine.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}
