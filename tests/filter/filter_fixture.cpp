#include "filter_fixture.h"

FilterFixture::FilterFixture(std::map<std::string, std::string> files, bool withPrimaryConfig) {
    folder_.Write("LogFiles/readme.txt", "log folder\n");
    if (withPrimaryConfig) folder_.Write("corvane.ini", "[settings]\nfiltername=pixwall\n");
    if (!files.count("pixwall.ini")) files["pixwall.ini"] = "[logging]\nlogging=on\n";
    for (const auto& [name, content] : files) folder_.Write(name, content);
    filter_ = std::make_unique<HotlinkFilter>();
    filter_->GetFilterVersion(&version_, folder_.Path());
}

std::vector<std::string> FilterFixture::LogMessages() const {
    return ::LogMessages(folder_.Lines("LogFiles/pixwall.log"));
}
