// The program's screen on this platform: start-up message boxes without an owner and the
// deployment dialog (a dialog from the program's resources on Windows, a terminal dialog
// elsewhere), each a thin adapter around DeployDialog.
#pragma once

#include "manager_app.h"

class ProgramScreen final : public ManagerApp::Screen {
  public:
    void ShowStartupMessage(const MessageRequest& message) override;
    bool RunDeployDialog(SiteCatalog& catalog, const ProfileReader& config,
                         Machine& machine) override;
};
