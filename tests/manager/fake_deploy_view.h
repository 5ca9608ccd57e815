// A view without a window: it keeps the lines with their marks and greying, answers message
// boxes from a queue and writes every event into the shared log.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "deploy_view.h"

class FakeDeployView final : public DeployView {
  public:
    struct Line {
        std::string text;
        bool checked = false;
        bool greyed = false;
    };

    explicit FakeDeployView(std::vector<std::string>& log) : log_(log) {}

    void AddAboutItem(const std::string& text) override { Log("AddAboutItem(" + text + ")"); }
    void SetIcons() override { Log("SetIcons"); }
    void SetTitle(const std::string& title) override { Log("SetTitle(" + title + ")"); }
    void AddLine(const std::string& text, bool checked) override {
        lines.push_back({.text = text, .checked = checked});
    }
    std::size_t LineCount() const override { return lines.size(); }
    bool IsChecked(std::size_t line) const override { return lines.at(line).checked; }
    void SetGreyed(std::size_t line, bool greyed) override { lines.at(line).greyed = greyed; }
    MessageAnswer ShowMessage(const MessageRequest& message) override;
    void ShowWaitCursor() override { Log("WaitCursor"); }
    void ShowArrowCursor() override { Log("ArrowCursor"); }
    void ShowAbout() override { Log("About"); }
    void Close() override {
        Log("Close");
        closed = true;
    }

    // What a click or the space bar does: nothing on a greyed line. True when the mark changed.
    bool Toggle(std::size_t line);

    std::vector<Line> lines;
    std::deque<MessageAnswer> answers;  // for Yes/No boxes; No when empty
    bool closed = false;

  private:
    void Log(const std::string& event) { log_.push_back(event); }
    std::vector<std::string>& log_;
};

// How the log writes a message box: "Box(caption, icon, buttons): text".
std::string ShowBox(const MessageRequest& message);
