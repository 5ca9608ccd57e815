// The command line of pixwall-report.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ReportOptions {
    std::vector<std::string> logs;
    std::string output = "pixwall-report.html";
    std::optional<std::string> root;  // --root: the document root, for the blocked bytes
    bool help = false;

    static constexpr const char* kUsage =
        "usage: pixwall-report [--root FOLDER] [--output FILE] LOG...\n"
        "  Reads Pixwall activity logs (pixwall.log, pixwall.1.log, several servers' logs, in\n"
        "  any order) and writes one self-contained HTML page.\n"
        "  --output FILE, -o FILE  the page to write (default pixwall-report.html)\n"
        "  --root FOLDER           the site's document root: adds what the blocked requests\n"
        "                          would have cost, by the sizes of the files\n";

    // Absent with `error` set for a command line that cannot be run.
    static std::optional<ReportOptions> Parse(const std::vector<std::string>& arguments,
                                              std::string& error);
};
