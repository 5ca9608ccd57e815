// corvane on Linux: the arguments after the program name are searched for "/clear"; the terminal
// shows the dialog.
#include <clocale>
#include <string>

#include "machine.h"
#include "manager_app.h"
#include "program_screen.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::string arguments;
    for (int i = 1; i < argc; ++i) arguments += (i > 1 ? " " : "") + std::string(argv[i]);
    SystemMachine machine;
    ProgramScreen screen;
    ManagerApp app(machine, screen, ManagerApp::ProgramName(argc > 0 ? argv[0] : "corvane"));
    return app.Run(arguments);
}
