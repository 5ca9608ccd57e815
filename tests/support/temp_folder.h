// A fresh folder for one test, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path in the platform's spelling, without a trailing separator.
    std::string Path() const;
    std::string PathOf(const std::string& name) const;

    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;  // empty when missing
    bool Exists(const std::string& name) const;
    void Remove(const std::string& name) const;
    // The file's lines, CR LF or LF ended, without the line ends.
    std::vector<std::string> Lines(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

// The message part of an activity log line ("12/31/05 23:59:58 : message").
std::string LogMessage(const std::string& line);
std::vector<std::string> LogMessages(const std::vector<std::string>& lines);
