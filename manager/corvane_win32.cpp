// corvane.exe: the arguments part of the command line (after the program name) is searched for
// "/clear"; the caption of the start-up messages is the executable's base name.
#include <windows.h>

#include <string_view>

#include "machine.h"
#include "manager_app.h"
#include "program_screen.h"

namespace {

// The command line less the program name, quoted or not, and the blanks after it.
std::string_view ArgumentsOf(std::string_view line) {
    std::size_t end = 0;
    if (!line.empty() && line[0] == '"') {
        end = line.find('"', 1);
        end = end == std::string_view::npos ? line.size() : end + 1;
    } else {
        end = line.find_first_of(" \t");
        if (end == std::string_view::npos) end = line.size();
    }
    line.remove_prefix(end);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    return line;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    SystemMachine machine;
    ProgramScreen screen;
    ManagerApp app(machine, screen, ManagerApp::ProgramName(path));
    return app.Run(ArgumentsOf(GetCommandLineA()));
}
