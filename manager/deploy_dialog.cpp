#include "deploy_dialog.h"

#include <optional>

DeployDialog::DeployDialog(DeployView& view, SiteCatalog& catalog, const ProfileReader& config,
                           Machine& machine)
    : view_(view), catalog_(catalog), config_(config), machine_(machine) {}

void DeployDialog::Open() {
    view_.AddAboutItem(kAboutItem);
    view_.SetIcons();
    filterName_ = config_.Read("settings", "filtername");
    filterPath_ = config_.Read("settings", "filterpath");
    filterDescription_ = config_.Read("settings", "filterdesc");
    if (!filterDescription_.empty()) {
        title_ = std::string(kCaption) + " (" + filterDescription_ + ")";
        view_.SetTitle(title_);
    }
    FillSiteList();
    UpdateSiteStates();
}

void DeployDialog::FillSiteList() {
    catalog_.Refresh(filterName_);
    const std::string error = catalog_.LastError();
    if (!error.empty()) {
        view_.ShowMessage({.text = error,
                           .caption = kCaption,
                           .buttons = MessageButtons::Ok,
                           .icon = MessageIcon::Exclamation});
        return;
    }
    for (const SiteEntry& entry : catalog_.Entries())
        view_.AddLine(entry.name, entry.installed);
    listFilled_ = true;
}

void DeployDialog::UpdateSiteStates() {
    const std::size_t count = view_.LineCount();
    if (count == 0) return;
    const bool greyed = view_.IsChecked(0);
    for (std::size_t i = 1; i < count; ++i) view_.SetGreyed(i, greyed);
}

bool DeployDialog::Failed() {
    const std::string error = catalog_.LastError();
    if (error.empty()) return false;
    view_.ShowArrowCursor();
    view_.ShowMessage({.text = error,
                       .caption = kCaption,
                       .buttons = MessageButtons::Ok,
                       .icon = MessageIcon::Exclamation});
    return true;
}

void DeployDialog::Apply() {
    // Lines and catalogue entries disagree when the list could not be filled: change nothing and
    // say why again.
    if (!listFilled_) {
        Failed();
        return;
    }
    view_.ShowWaitCursor();
    const std::vector<SiteEntry>& entries = catalog_.Entries();
    const bool globalChecked = view_.IsChecked(0);
    const bool globalInstalled = entries[0].installed;
    // A change at the global level rules the sites: turned on, it is the only place left, so the
    // filter goes from every site; turned off, the sites keep what they have and the checked
    // ones get it.
    const bool globalOn = globalChecked && !globalInstalled;
    const bool globalOff = !globalChecked && globalInstalled;
    // The line count is read afresh before every step; the global line comes first.
    for (std::size_t i = 0; i < view_.LineCount(); ++i) {
        const bool checked = view_.IsChecked(i);
        const bool installed = entries[i].installed;
        // A line is named by its entry: the global line by no site at all, a site by its
        // description as the component gave it.
        const bool site = i > 0;
        const SiteCatalog::SiteName place =
            site ? SiteCatalog::SiteName(entries[i].name) : std::nullopt;
        if (site && globalOn) {
            catalog_.RemoveAt(filterName_, place);
        } else if (checked && !installed) {
            catalog_.InstallAt(filterPath_, place);
        } else if (!checked && installed && !(site && globalOff)) {
            catalog_.RemoveAt(filterName_, place);
        } else {
            continue;
        }
        if (Failed()) return;
    }
    if (globalOn || globalOff) OfferRestart();
    view_.ShowArrowCursor();
    view_.Close();
}

void DeployDialog::OfferRestart() {
    const std::optional<OsVersion> version = machine_.QueryOsVersion();
    view_.ShowArrowCursor();
    if (version && version->ntFamily && version->major == 5) {
        const MessageAnswer answer = view_.ShowMessage({.text = kRestartQuestion,
                                                        .caption = kCaption,
                                                        .buttons = MessageButtons::YesNo,
                                                        .icon = MessageIcon::Question});
        if (answer == MessageAnswer::Yes) machine_.RunThroughInterpreter(kRestartCommand);
        return;
    }
    view_.ShowMessage({.text = kRestartNotice,
                       .caption = kCaption,
                       .buttons = MessageButtons::Ok,
                       .icon = MessageIcon::Information});
}

void DeployDialog::Cancel() { view_.Close(); }

bool DeployDialog::SystemCommand(unsigned command) {
    // The system menu keeps the low four bits of a command number for itself.
    if ((command & 0xFFF0) != kAboutCommand) return false;
    view_.ShowAbout();
    return true;
}
