#include "fake_deploy_view.h"

std::string ShowBox(const MessageRequest& message) {
    static const char* const kIcons[] = {"none", "stop", "exclamation", "question", "information"};
    return "Box(" + message.caption + ", " + kIcons[static_cast<int>(message.icon)] + ", " +
           (message.buttons == MessageButtons::Ok ? "OK" : "YesNo") + "): " + message.text;
}

MessageAnswer FakeDeployView::ShowMessage(const MessageRequest& message) {
    Log(ShowBox(message));
    if (message.buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    if (answers.empty()) return MessageAnswer::No;
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

bool FakeDeployView::Toggle(std::size_t line) {
    Line& target = lines.at(line);
    if (target.greyed) return false;
    target.checked = !target.checked;
    return true;
}
