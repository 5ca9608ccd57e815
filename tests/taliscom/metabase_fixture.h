// A stand-in metabase store in a fresh folder, seeded from text in the store's file format.
#pragma once

#include <memory>
#include <string>

#include "metabase/metabase_text.h"
#include "metabase_connection.h"
#include "metabase_store.h"
#include "temp_folder.h"

class MetabaseFixture {
  public:
    explicit MetabaseFixture(const std::string& text = "") : file_(folder_.PathOf("metabase.txt")) {
        if (!text.empty()) folder_.Write("metabase.txt", text);
    }
    const std::string& File() const { return file_; }
    const TempFolder& Folder() const { return folder_; }

    // The store's content, in canonical form.
    std::string Text() const { return Canonical(folder_.Read("metabase.txt")); }
    static std::string Canonical(const std::string& text) {
        std::string error;
        const auto root = metabase::Parse(text, error);
        return root ? metabase::Format(*root) : "unreadable: " + error;
    }

    taliscom::MetabaseConnection::Connector Connector() const {
        const std::string file = file_;
        return [file](std::unique_ptr<taliscom::AdminBase>& metabase) {
            metabase = std::make_unique<taliscom::MetabaseStore>(file);
            return taliscom::hr::kOk;
        };
    }
    static taliscom::MetabaseConnection::Connector Unreachable() {
        return
            [](std::unique_ptr<taliscom::AdminBase>&) { return taliscom::hr::kClassNotRegistered; };
    }

  private:
    TempFolder folder_;
    std::string file_;
};
