// What every fuzz target shares: a check that stops the run with a message, and a scratch file.
#pragma once

#include <string>
#include <string_view>

// Aborts with the message when the condition is false, so that libFuzzer keeps the input.
#define FUZZ_CHECK(condition) ((condition) ? (void)0 : fuzz::Fail(#condition, __FILE__, __LINE__))

namespace fuzz {

[[noreturn]] void Fail(const char* condition, const char* file, int line);

// The bytes as one file in a folder of this process, rewritten on every call; its path.
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

}  // namespace fuzz
