// The stand-in metabase: a persistent store that behaves as the IIS metabase does for the seven
// operations of AdminBase. It lives in one human-readable text file (format in the README and in
// metabase/metabase_text.cpp) that is read afresh by every operation and replaced atomically by
// every change. An open handle holds a lock on "<file>.lock": shared for reading, exclusive for
// writing, so no writer runs beside another handle, in this process or another; OpenKey waits
// up to its time-out for a conflicting handle and then fails with ERROR_PATH_BUSY. Operations on
// the master root handle take the lock for their own duration.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "admin_base.h"
#include "metabase/metabase_tree.h"
#include "platform/locked_text_file.h"

namespace taliscom {

class MetabaseStore : public AdminBase {
  public:
    explicit MetabaseStore(std::filesystem::path file);
    ~MetabaseStore() override;
    MetabaseStore(const MetabaseStore&) = delete;
    MetabaseStore& operator=(const MetabaseStore&) = delete;

    HResult OpenKey(MetadataHandle handle, const char16_t* path, std::uint32_t access,
                    std::uint32_t timeoutMs, MetadataHandle* newHandle) override;
    HResult CloseKey(MetadataHandle handle) override;
    HResult EnumKeys(MetadataHandle handle, const char16_t* path, char16_t* name,
                     std::uint32_t index) override;
    HResult GetData(MetadataHandle handle, const char16_t* path, MetadataRecord* record,
                    std::uint32_t* requiredLength) override;
    HResult SetData(MetadataHandle handle, const char16_t* path,
                    const MetadataRecord* record) override;
    HResult AddKey(MetadataHandle handle, const char16_t* path) override;
    HResult DeleteKey(MetadataHandle handle, const char16_t* path) override;

    const std::filesystem::path& File() const { return file_; }

  private:
    struct OpenHandle {
        std::vector<std::u16string> path;
        std::uint32_t access = 0;
        std::unique_ptr<platform::FileLock> lock;
    };
    // Resolves handle + path to the key's names from the root; false for an unknown handle.
    bool Resolve(MetadataHandle handle, const char16_t* path, std::vector<std::u16string>& out,
                 HResult& failure) const;
    // The tree of the file as read: empty for a missing file; null, with the failure to give,
    // for one that cannot be read or parsed (reported on stderr).
    std::unique_ptr<metabase::Node> Load(const platform::FileText& file, HResult& failure) const;
    // Runs an operation with the file's tree under the right lock.
    template <typename Operation>
    HResult WithTree(MetadataHandle handle, bool writing, Operation&& operation);

    std::filesystem::path file_;
    std::map<MetadataHandle, OpenHandle> handles_;
    MetadataHandle nextHandle_ = 1;
};

}  // namespace taliscom
