// pixwall-host started as a child process for a test: waits until every site listens, and
// stops it (SIGTERM, as an administrator would) when destroyed.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

class HostProcess {
  public:
    // Starts the program with the arguments and waits (at most 20 s) for `sites` listening
    // lines; throws std::runtime_error with what the program printed when it does not get there.
    HostProcess(const std::vector<std::string>& arguments, std::size_t sites);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // The port the site of that server name listens on.
    unsigned short Port(const std::string& serverName) const;
    // Sends SIGTERM and waits for the exit (at most 20 s); returns the exit status or -1.
    int Stop();

    // Runs the program to its end (at most 20 s) and returns its exit status; `output` gets
    // what it printed on either stream.
    static int RunToEnd(const std::vector<std::string>& arguments, std::string& output);

  private:
    static pid_t Spawn(const std::vector<std::string>& arguments, int& outputFd);

    pid_t pid_ = -1;
    int outputFd_ = -1;
    std::map<std::string, unsigned short> ports_;
};
