// The system's text for a failure code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// The system's message for a message number, as the platform words it; empty when it has none.
using SystemMessageLookup = std::function<std::string(std::uint32_t number)>;
std::string LookUpSystemMessage(std::uint32_t number);

// The message for `code`: a FACILITY_WINDOWS code gives its low 16 bits as the message number,
// any other the whole code. Never empty: without a system text of at most 127 characters the text
// is "Error 0x%08X." with the full code, so a failure never reads as an empty, successful text.
std::string FormatSystemMessage(std::int32_t code,
                                const SystemMessageLookup& lookup = LookUpSystemMessage);
