#include "report_options.h"

std::optional<ReportOptions> ReportOptions::Parse(const std::vector<std::string>& arguments,
                                                  std::string& error) {
    ReportOptions options;
    bool onlyFiles = false;  // after "--", names that start with "-" are files too
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyFiles || argument.empty() || argument.front() != '-' || argument == "-") {
            options.logs.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyFiles = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
            return options;
        } else if (argument == "--output" || argument == "-o" || argument == "--root") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                error = argument + " needs a value";
                return std::nullopt;
            }
            (argument == "--root" ? options.root.emplace() : options.output) = arguments[++i];
        } else {
            error = "unknown option " + argument;
            return std::nullopt;
        }
    }
    if (options.logs.empty()) {
        error = "no log file given";
        return std::nullopt;
    }
    return options;
}
