#include "manager_app.h"

#include <utility>

#include "platform/paths.h"

ManagerApp::ManagerApp(Machine& machine, Screen& screen, std::string programName,
                       SiteCatalog::LinkFactory createLink)
    : machine_(machine),
      screen_(screen),
      programName_(std::move(programName)),
      createLink_(std::move(createLink)) {}

ManagerApp::~ManagerApp() {
    catalog_.reset();
    config_.reset();
    if (socketsStarted_) machine_.StopSockets();
}

bool ManagerApp::SelectsClearMode(std::string_view arguments) {
    return arguments.find("/clear") != std::string_view::npos;
}

std::string ManagerApp::ProgramName(std::string_view executablePath) {
    const auto folderEnd = executablePath.find_last_of("\\/");
    std::string_view name =
        folderEnd == std::string_view::npos ? executablePath : executablePath.substr(folderEnd + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return std::string(name);
}

int ManagerApp::Fail(const char* text, MessageIcon icon) {
    screen_.ShowStartupMessage(
        {.text = text, .caption = programName_, .buttons = MessageButtons::Ok, .icon = icon});
    return 1;
}

// The file must lie in the current working folder: the program's own folder plays no part.
bool ManagerApp::OpenConfig() {
    std::string path = kConfigFileName;
    if (path.find(platform::kPathSeparator) == std::string::npos) {
        const std::optional<std::string> folder = machine_.CurrentFolder();
        if (!folder) return false;
        path = *folder + platform::kPathSeparator + path;
    }
    if (!machine_.FileExists(path)) return false;
    config_.emplace(path);
    return true;
}

int ManagerApp::Run(std::string_view arguments) {
    socketsStarted_ = machine_.StartSockets();
    if (!socketsStarted_) return Fail(kSocketsMessage, MessageIcon::None);
    if (!machine_.IsAdministrator()) return Fail(kAdministratorMessage, MessageIcon::Stop);
    if (!machine_.IsIisInstalled()) return Fail(kIisMessage, MessageIcon::Stop);
    if (!OpenConfig()) return Fail(kConfigMessage, MessageIcon::Stop);
    catalog_.emplace(createLink_);
    if (const std::string error = catalog_->LastError(); !error.empty()) {
        return Fail(error.c_str(), MessageIcon::Exclamation);
    }
    if (SelectsClearMode(arguments)) {
        ClearEverywhere();
        return 0;
    }
    return screen_.RunDeployDialog(*catalog_, *config_, machine_) ? 0 : 1;
}

// Failures are neither shown nor stop the loop: clear mode shows no window at all.
void ManagerApp::ClearEverywhere() {
    const std::string filterName = config_->Read("settings", "filtername");
    catalog_->Refresh(filterName);
    const std::vector<SiteEntry> entries = catalog_->Entries();
    for (const SiteEntry& entry : entries) {
        if (entry.installed) catalog_->RemoveAt(filterName, entry.name);
    }
}
