// Debian's nginx with the module, started for a test in a folder of its own: its configuration,
// pid file, error log and temporary files live there, and it listens on free loopback ports.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class NginxProcess {
  public:
    // Writes the configuration: the module loaded, that many worker processes, and the http
    // block's directives, in which "@PORT0@", "@PORT1@", ... stand for free ports. Starts nginx
    // and waits (at most 20 s) until every port listens and every worker has started the filters;
    // throws std::runtime_error with the error log when it does not get there.
    NginxProcess(const std::string& folder, const std::string& http, int processes, int ports);
    ~NginxProcess();
    NginxProcess(const NginxProcess&) = delete;
    NginxProcess& operator=(const NginxProcess&) = delete;

    unsigned short Port(int index = 0) const { return ports_.at(static_cast<std::size_t>(index)); }
    // Asks the master to read its configuration again (nginx -s reload).
    void Reload() const;
    // Fast shutdown (nginx -s stop) and the exit status, or -1.
    int Stop();
    std::string ErrorLog() const;

    // Writes the configuration as above and runs "nginx -t" on it: its exit status and output.
    static int Test(const std::string& folder, const std::string& http, std::string& output);

  private:
    static std::string WriteConfiguration(const std::string& folder, const std::string& http,
                                          int processes, std::vector<unsigned short>& ports,
                                          int portCount);

    std::string folder_;
    pid_t pid_ = -1;
    std::vector<unsigned short> ports_;
};
