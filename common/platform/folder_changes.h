// Reports of writes in one folder, not its subfolders: ReadDirectoryChangesW with a completion
// routine on Windows, inotify elsewhere. A thread of its own waits for the reports and calls back
// once for each; what the reports say is never read.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

class FolderChanges {
  public:
    FolderChanges();
    virtual ~FolderChanges();  // stops
    FolderChanges(const FolderChanges&) = delete;
    FolderChanges& operator=(const FolderChanges&) = delete;

    // Stops a previous watch, then starts the thread watching `folder`. `onChange` runs on that
    // thread for every report (a failed or overflowed one included) and must do no more than
    // raise a flag. Returns once the folder is watched, or has been found unopenable (then the
    // thread only waits to be stopped): 0, or the C runtime's error number when the thread cannot
    // be started.
    virtual int Start(const std::string& folder, std::function<void()> onChange);

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
