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
        view_.AddLine(entry.name, entry.installed != 0);
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
    const bool globalInstalled = entries[0].installed != 0;
    // The line count is read afresh before every step of a loop.
    if (globalChecked && !globalInstalled) {
        catalog_.InstallAt(filterPath_, std::nullopt);
        if (Failed()) return;
        for (std::size_t i = 1; i < view_.LineCount(); ++i) {
            catalog_.RemoveAt(filterName_, view_.LineText(i));
            if (Failed()) return;
        }
        OfferRestart();
        view_.ShowArrowCursor();
        view_.Close();
        return;
    }
    if (!globalChecked && globalInstalled) {
        catalog_.RemoveAt(filterName_, std::nullopt);
        if (Failed()) return;
        for (std::size_t i = 1; i < view_.LineCount(); ++i) {
            if (!view_.IsChecked(i) || entries[i].installed != 0) continue;
            catalog_.InstallAt(filterPath_, view_.LineText(i));
            if (Failed()) return;
        }
        OfferRestart();
        view_.ShowArrowCursor();
        view_.Close();
        return;
    }
    for (std::size_t i = 0; i < view_.LineCount(); ++i) {
        const bool checked = view_.IsChecked(i);
        const bool installed = entries[i].installed != 0;
        if (checked && !installed) {
            catalog_.InstallAt(filterPath_, view_.LineText(i));
        } else if (!checked && installed) {
            catalog_.RemoveAt(filterName_, view_.LineText(i));
        } else {
            continue;
        }
        if (Failed()) return;
    }
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
