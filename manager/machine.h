// What the manager program asks of the machine it runs on: its start-up checks, the working
// folder, the operating-system version and the command interpreter. SystemMachine is the real
// one for this platform; the tests put a fake in its place.
#pragma once

#include <memory>
#include <optional>
#include <string>

struct OsVersion {
    bool ntFamily = false;
    unsigned major = 0;
};

class Machine {
  public:
    virtual ~Machine() = default;

    // Windows Sockets 1.1 exactly (undone when another version is offered); StopSockets
    // releases it at the end.
    virtual bool StartSockets() = 0;
    virtual void StopSockets() = 0;
    virtual bool IsAdministrator() = 0;
    // IIS 4 or later: "MajorVersion" of the W3SVC parameters above 3.
    virtual bool IsIisInstalled() = 0;
    // The current working folder; absent when it cannot be obtained.
    virtual std::optional<std::string> CurrentFolder() = 0;
    // Whether the file system has an entry under the name; nothing is read.
    virtual bool FileExists(const std::string& path) = 0;
    // Absent when the version cannot be determined.
    virtual std::optional<OsVersion> QueryOsVersion() = 0;
    // Runs the command line through the command interpreter and waits for it to end; its
    // outcome is ignored.
    virtual void RunThroughInterpreter(const std::string& commandLine) = 0;
};

class SystemMachine final : public Machine {
  public:
    bool StartSockets() override;
    void StopSockets() override;
    bool IsAdministrator() override;
    bool IsIisInstalled() override;
    std::optional<std::string> CurrentFolder() override;
    bool FileExists(const std::string& path) override;
    std::optional<OsVersion> QueryOsVersion() override;
    void RunThroughInterpreter(const std::string& commandLine) override;
};
