// There is no system message table here: every code gets the numbered fallback text.
#include "system_message.h"

std::string LookUpSystemMessage(std::uint32_t) { return {}; }
