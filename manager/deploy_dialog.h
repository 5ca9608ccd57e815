// The site deployment dialog's logic: fills the list from the catalogue, greys the sites while
// the global level is checked, and on OK installs and removes the filter so that IIS matches the
// check boxes, offering an IIS restart after a change at the global level. The view shows it.
#pragma once

#include <string>

#include "deploy_view.h"
#include "machine.h"
#include "profile_reader.h"
#include "site_catalog.h"

class DeployDialog {
  public:
    static constexpr const char* kCaption = "Corvane";
    static constexpr const char* kAboutItem = "&About Corvane...";
    static constexpr unsigned kAboutCommand = 0x0010;
    static constexpr const char* kRestartQuestion =
        "You must restart the IIS web server before the new settings will take effect.\r\n\r\n"
        "Do you want to restart IIS now?";
    static constexpr const char* kRestartNotice =
        "You must restart the IIS web server before the new settings will take effect.";
    static constexpr const char* kRestartCommand = "iisreset /restart";

    DeployDialog(DeployView& view, SiteCatalog& catalog, const ProfileReader& config,
                 Machine& machine);

    void Open();
    // A check box of any line changed: the site lines are greyed while the global line is checked.
    void UpdateSiteStates();
    void Apply();
    void Cancel();
    // True when the command was the About item (16 to 31); any other is the platform's to handle.
    bool SystemCommand(unsigned command);

    const std::string& Title() const { return title_; }

  private:
    void FillSiteList();
    // Shows the catalogue's failure, if any, with the arrow cursor; true when there was one.
    bool Failed();
    void OfferRestart();

    DeployView& view_;
    SiteCatalog& catalog_;
    const ProfileReader& config_;
    Machine& machine_;
    std::string filterName_;
    std::string filterPath_;
    std::string filterDescription_;
    std::string title_ = kCaption;
    bool listFilled_ = false;
};
