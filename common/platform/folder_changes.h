// Reports of changes to named files in one folder, not its subfolders: written, created, renamed
// into place or away, deleted. ReadDirectoryChangesW (FILE_NOTIFY_CHANGE_LAST_WRITE |
// FILE_NOTIFY_CHANGE_FILE_NAME) with a completion routine on Windows, inotify elsewhere. A thread
// of its own waits for the reports and calls back once for each batch that names one of the files
// (or that the system could not deliver whole); other files of the folder never call back.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class FolderChanges {
  public:
    FolderChanges();
    virtual ~FolderChanges();  // stops
    FolderChanges(const FolderChanges&) = delete;
    FolderChanges& operator=(const FolderChanges&) = delete;

    // Stops a previous watch, then starts the thread watching the files `names` (compared without
    // regard to case) in `folder`. `onChange` runs on that thread for every batch of reports that
    // names one of them (a failed or overflowed one included) and must do no more than raise a
    // flag. Returns once the folder is watched, or has been found unopenable (then the
    // thread only waits to be stopped): 0, or the C runtime's error number when the thread cannot
    // be started.
    virtual int Start(const std::string& folder, std::vector<std::string> names,
                      std::function<void()> onChange);

    // Ends the thread; does nothing when none runs. Safe at module unload (on Windows under the
    // loader lock) and after the system has ended the thread at process exit.
    virtual void Stop();

    // The thread runs and has the folder open.
    bool Watching() const;

    // Waits until every write made before the call has been reported. False where the platform
    // cannot tell: on Windows the reports pass through the system asynchronously.
    bool Settle();

  private:
    struct Thread;
    std::unique_ptr<Thread> thread_;
};

}  // namespace platform
