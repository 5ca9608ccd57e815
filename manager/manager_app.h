// The manager program from start to end: the start-up checks in their fixed order (the first
// failure shows its message and ends the program), then clear mode or the deployment dialog.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "machine.h"
#include "message_request.h"
#include "profile_reader.h"
#include "site_catalog.h"

class ManagerApp {
  public:
    // Where the program shows itself: the start-up message boxes (no owner window) and the
    // deployment dialog, which returns when it closes (false when it could not be shown).
    class Screen {
      public:
        virtual ~Screen() = default;
        virtual void ShowStartupMessage(const MessageRequest& message) = 0;
        virtual bool RunDeployDialog(SiteCatalog& catalog, const ProfileReader& config,
                                     Machine& machine) = 0;
    };

    static constexpr const char* kConfigFileName = "corvane.ini";
    static constexpr const char* kSocketsMessage = "Windows sockets initialization failed.";
    static constexpr const char* kAdministratorMessage =
        "You are not logged on as a member of the administrators group.\r\n"
        "This program requires administrator privileges. \r\n"
        "Please log on as an administrator and try again.";
    static constexpr const char* kIisMessage =
        "This computer does not have Internet Information Services (IIS) installed.\r\n"
        "Please install IIS and try again.";
    static constexpr const char* kConfigMessage =
        "The primary configuration file was not found in the current working folder.\r\n"
        "Please re-install the program and try again.";

    // programName is the caption of the start-up messages: the executable's base name.
    ManagerApp(Machine& machine, Screen& screen, std::string programName,
               SiteCatalog::LinkFactory createLink = CreateFilterManagerLink);
    ~ManagerApp();
    ManagerApp(const ManagerApp&) = delete;
    ManagerApp& operator=(const ManagerApp&) = delete;

    // Runs the program once; `arguments` is the command line after the program name. The exit
    // status: 0, or 1 after a failed check or when the dialog could not be shown.
    int Run(std::string_view arguments);

    // "/clear" anywhere in the arguments, case-sensitive, also as the start of a longer word.
    static bool SelectsClearMode(std::string_view arguments);
    // The executable's file name without folder and extension.
    static std::string ProgramName(std::string_view executablePath);

  private:
    int Fail(const char* text, MessageIcon icon);  // shows the message; the exit status
    bool OpenConfig();
    void ClearEverywhere();

    Machine& machine_;
    Screen& screen_;
    std::string programName_;
    SiteCatalog::LinkFactory createLink_;
    bool socketsStarted_ = false;
    // The catalogue goes before the reader.
    std::optional<ProfileReader> config_;
    std::optional<SiteCatalog> catalog_;
};
