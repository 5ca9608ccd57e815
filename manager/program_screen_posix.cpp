// The terminal dialog (ncurses): a title line, the group box with one line per entry and its
// check box, greyed lines drawn dim, the OK and Cancel buttons, and message boxes drawn as framed
// boxes with their caption, icon word and buttons. Without a terminal the start-up messages go to
// standard error.
#include <curses.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "deploy_dialog.h"
#include "program_screen.h"

namespace {

constexpr const char* kGroupText = "Deploy the web extension to checked sites";
constexpr const char* kKeysHint = "Space: check  Up/Down: move  Tab: next  Enter: OK  Esc: Cancel";
constexpr int kEscape = 27;

bool HaveTerminal() { return ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO); }

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(c);
        }
    }
    lines.push_back(line);
    return lines;
}

// Cuts long lines at blanks to the width.
std::vector<std::string> Wrap(const std::vector<std::string>& lines, std::size_t width) {
    std::vector<std::string> out;
    for (std::string line : lines) {
        while (line.size() > width) {
            std::size_t cut = line.rfind(' ', width);
            if (cut == std::string::npos || cut == 0) cut = width;
            out.push_back(line.substr(0, cut));
            line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
        }
        out.push_back(line);
    }
    return out;
}

const char* IconWord(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Stop:
            return "Stop";
        case MessageIcon::Exclamation:
            return "Exclamation";
        case MessageIcon::Question:
            return "Question";
        case MessageIcon::Information:
            return "Information";
        case MessageIcon::None:
            break;
    }
    return nullptr;
}

class Curses {
  public:
    Curses() {
        initscr();
        cbreak();
        noecho();
        keypad(stdscr, TRUE);
        set_escdelay(25);
        curs_set(0);
    }
    ~Curses() { endwin(); }
    Curses(const Curses&) = delete;
    Curses& operator=(const Curses&) = delete;
};

void DrawFrame(int top, int left, int height, int width, const std::string& caption) {
    mvaddch(top, left, '+');
    mvhline(top, left + 1, '-', width - 2);
    mvaddch(top, left + width - 1, '+');
    for (int row = top + 1; row < top + height - 1; ++row) {
        mvaddch(row, left, '|');
        mvhline(row, left + 1, ' ', width - 2);
        mvaddch(row, left + width - 1, '|');
    }
    mvaddch(top + height - 1, left, '+');
    mvhline(top + height - 1, left + 1, '-', width - 2);
    mvaddch(top + height - 1, left + width - 1, '+');
    if (!caption.empty()) {
        const std::string text = " " + caption + " ";
        mvaddnstr(top, left + 2, text.c_str(), width - 4);
    }
}

void DrawButton(int row, int column, const char* label, bool focused) {
    if (focused) attron(A_REVERSE);
    mvprintw(row, column, "< %s >", label);
    if (focused) attroff(A_REVERSE);
}

// A modal box over whatever the screen shows: returns the chosen button.
MessageAnswer RunBox(const std::string& caption, const char* iconWord,
                     const std::vector<std::string>& textLines, MessageButtons buttons) {
    const int maxWidth = std::max(20, COLS - 4);
    const std::vector<std::string> lines = Wrap(textLines, static_cast<std::size_t>(maxWidth - 4));
    std::size_t widest = caption.size() + 4;
    for (const std::string& line : lines) widest = std::max(widest, line.size());
    const int width = std::min(maxWidth, static_cast<int>(widest) + 4);
    const int height = static_cast<int>(lines.size()) + (iconWord ? 1 : 0) + 4;
    const int top = std::max(0, (LINES - height) / 2);
    const int left = std::max(0, (COLS - width) / 2);
    const bool yesNo = buttons == MessageButtons::YesNo;
    int focus = 0;
    for (;;) {
        DrawFrame(top, left, height, width, caption);
        int row = top + 1;
        if (iconWord) mvprintw(row++, left + 2, "(%s)", iconWord);
        for (const std::string& line : lines) mvaddnstr(row++, left + 2, line.c_str(), width - 4);
        ++row;
        if (yesNo) {
            const int column = left + (width - 17) / 2;
            DrawButton(row, column, "Yes", focus == 0);
            DrawButton(row, column + 9, "No", focus == 1);
        } else {
            DrawButton(row, left + (width - 6) / 2, "OK", true);
        }
        refresh();
        const int key = getch();
        if (!yesNo) {
            if (key == '\n' || key == KEY_ENTER || key == ' ' || key == kEscape) {
                return MessageAnswer::Ok;
            }
            continue;
        }
        if (key == 'y' || key == 'Y') return MessageAnswer::Yes;
        if (key == 'n' || key == 'N' || key == kEscape) return MessageAnswer::No;
        if (key == '\t' || key == KEY_LEFT || key == KEY_RIGHT) focus = 1 - focus;
        if (key == '\n' || key == KEY_ENTER || key == ' ') {
            return focus == 0 ? MessageAnswer::Yes : MessageAnswer::No;
        }
    }
}

class TerminalDeployView final : public DeployView {
  public:
    void AddAboutItem(const std::string& text) override {
        aboutItem_ = text;
        aboutItem_.erase(std::remove(aboutItem_.begin(), aboutItem_.end(), '&'), aboutItem_.end());
    }
    void SetIcons() override {}
    void SetTitle(const std::string& title) override { title_ = title; }
    void AddLine(const std::string& text, bool checked) override {
        lines_.push_back({.text = text, .checked = checked});
    }
    std::size_t LineCount() const override { return lines_.size(); }
    bool IsChecked(std::size_t line) const override { return lines_.at(line).checked; }
    void SetGreyed(std::size_t line, bool greyed) override { lines_.at(line).greyed = greyed; }
    MessageAnswer ShowMessage(const MessageRequest& message) override {
        Draw();
        const MessageAnswer answer = RunBox(message.caption, IconWord(message.icon),
                                            SplitLines(message.text), message.buttons);
        Draw();
        return answer;
    }
    void ShowWaitCursor() override {
        busy_ = true;
        Draw();
    }
    void ShowArrowCursor() override {
        busy_ = false;
        Draw();
    }
    void ShowAbout() override {
        Draw();
        RunBox("About Corvane", nullptr, {"[#]  Corvane 1.0"}, MessageButtons::Ok);
        Draw();
    }
    void Close() override { closed_ = true; }

    // Waits for keys until the dialog closes.
    void Run(DeployDialog& dialog) {
        while (!closed_) {
            Draw();
            HandleKey(dialog, getch());
        }
    }

  private:
    enum class Focus { List, Ok, Cancel };
    struct Line {
        std::string text;
        bool checked = false;
        bool greyed = false;
    };

    void HandleKey(DeployDialog& dialog, int key) {
        switch (key) {
            case KEY_UP:
                if (current_ > 0) --current_;
                focus_ = Focus::List;
                break;
            case KEY_DOWN:
                if (current_ + 1 < lines_.size()) ++current_;
                focus_ = Focus::List;
                break;
            case ' ':
                if (focus_ == Focus::List) {
                    Toggle(dialog);
                } else {
                    Press(dialog);
                }
                break;
            case '\t':
                focus_ = focus_ == Focus::List ? Focus::Ok
                         : focus_ == Focus::Ok ? Focus::Cancel
                                               : Focus::List;
                break;
            case '\n':
            case KEY_ENTER:
                Press(dialog);
                break;
            case kEscape:
                dialog.Cancel();
                break;
            case KEY_F(2):
                if (!aboutItem_.empty()) dialog.SystemCommand(DeployDialog::kAboutCommand);
                break;
            default:
                break;
        }
    }

    // OK is the default button: Enter anywhere but on Cancel means OK.
    void Press(DeployDialog& dialog) {
        if (focus_ == Focus::Cancel) {
            dialog.Cancel();
        } else {
            dialog.Apply();
        }
    }

    void Toggle(DeployDialog& dialog) {
        if (current_ >= lines_.size() || lines_[current_].greyed) return;
        lines_[current_].checked = !lines_[current_].checked;
        dialog.UpdateSiteStates();
    }

    void Draw() {
        erase();
        attron(A_REVERSE);
        mvhline(0, 0, ' ', COLS);
        mvaddnstr(0, 1, title_.c_str(), COLS - 2);
        attroff(A_REVERSE);
        const int width = std::max(20, COLS - 2);
        const int listRows = std::max(1, LINES - 8);
        DrawFrame(2, 1, listRows + 2, width, kGroupText);
        if (current_ >= top_ + static_cast<std::size_t>(listRows)) {
            top_ = current_ - listRows + 1;
        }
        if (current_ < top_) top_ = current_;
        for (int row = 0; row < listRows && top_ + row < lines_.size(); ++row) {
            const std::size_t index = top_ + row;
            const Line& line = lines_[index];
            const bool selected = index == current_ && focus_ == Focus::List;
            attr_t attributes = line.greyed ? A_DIM : A_NORMAL;
            if (selected) attributes |= A_REVERSE;
            attron(attributes);
            const std::string text = std::string(line.checked ? "[x] " : "[ ] ") + line.text;
            mvaddnstr(3 + row, 3, text.c_str(), width - 4);
            attroff(attributes);
        }
        const int buttons = listRows + 5;
        DrawButton(buttons, 3, "OK", focus_ == Focus::Ok);
        DrawButton(buttons, 11, "Cancel", focus_ == Focus::Cancel);
        if (busy_) mvaddstr(buttons, 24, "Please wait...");
        const std::string hint =
            std::string(kKeysHint) + (aboutItem_.empty() ? "" : "  F2: " + aboutItem_);
        mvaddnstr(buttons + 1, 1, hint.c_str(), COLS - 2);
        refresh();
    }

    std::string title_ = DeployDialog::kCaption;
    std::string aboutItem_;
    std::vector<Line> lines_;
    std::size_t current_ = 0;
    std::size_t top_ = 0;
    Focus focus_ = Focus::List;
    bool busy_ = false;
    bool closed_ = false;
};

}  // namespace

void ProgramScreen::ShowStartupMessage(const MessageRequest& message) {
    if (!HaveTerminal()) {
        std::string text;
        for (const std::string& line : SplitLines(message.text)) text += line + "\n";
        std::fprintf(stderr, "%s: %s", message.caption.c_str(), text.c_str());
        return;
    }
    const Curses curses;
    erase();
    RunBox(message.caption, IconWord(message.icon), SplitLines(message.text), message.buttons);
}

bool ProgramScreen::RunDeployDialog(SiteCatalog& catalog, const ProfileReader& config,
                                    Machine& machine) {
    if (!HaveTerminal()) {
        std::fprintf(stderr, "corvane: the deployment dialog needs a terminal\n");
        return false;
    }
    const Curses curses;
    TerminalDeployView view;
    DeployDialog dialog(view, catalog, config, machine);
    dialog.Open();
    view.Run(dialog);
    return true;
}
