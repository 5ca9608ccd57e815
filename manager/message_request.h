// A message box as the program asks for it: text, caption, buttons and icon. The views draw it.
#pragma once

#include <string>

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Stop, Exclamation, Question, Information };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    std::string text;
    std::string caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    friend bool operator==(const MessageRequest&, const MessageRequest&) = default;
};
