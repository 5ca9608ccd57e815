// A machine whose check results, working folder, files and version the test sets; commands run
// through the interpreter are written into the shared log.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "machine.h"

class FakeMachine final : public Machine {
  public:
    explicit FakeMachine(std::vector<std::string>& log) : log_(log) {}

    bool StartSockets() override {
        log_.push_back("StartSockets");
        return sockets;
    }
    void StopSockets() override { log_.push_back("StopSockets"); }
    bool IsAdministrator() override { return administrator; }
    bool IsIisInstalled() override { return iis; }
    std::optional<std::string> CurrentFolder() override { return currentFolder; }
    bool FileExists(const std::string& path) override { return files.contains(path); }
    std::optional<OsVersion> QueryOsVersion() override { return version; }
    void RunThroughInterpreter(const std::string& commandLine) override {
        log_.push_back("Run(" + commandLine + ")");
    }

    bool sockets = true;
    bool administrator = true;
    bool iis = true;
    std::optional<std::string> currentFolder;
    std::set<std::string> files;
    std::optional<OsVersion> version;

  private:
    std::vector<std::string>& log_;
};
