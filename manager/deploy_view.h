// What the deployment dialog's logic asks of the window that shows it: lines with check marks,
// greying, message boxes, cursors, the About box and closing. The Windows dialog and the terminal
// dialog are thin adapters of this interface; the tests use a fake.
#pragma once

#include <cstddef>
#include <string>

#include "message_request.h"

class DeployView {
  public:
    virtual ~DeployView() = default;

    // A separator and the About item (command 16) at the end of the system menu.
    virtual void AddAboutItem(const std::string& text) = 0;
    // The program icon as large and small window icon.
    virtual void SetIcons() = 0;
    virtual void SetTitle(const std::string& title) = 0;

    virtual void AddLine(const std::string& text, bool checked) = 0;
    virtual std::size_t LineCount() const = 0;
    virtual bool IsChecked(std::size_t line) const = 0;
    // A greyed line keeps its mark and cannot be toggled.
    virtual void SetGreyed(std::size_t line, bool greyed) = 0;

    virtual MessageAnswer ShowMessage(const MessageRequest& message) = 0;
    virtual void ShowWaitCursor() = 0;
    virtual void ShowArrowCursor() = 0;
    virtual void ShowAbout() = 0;
    virtual void Close() = 0;
};
