#include "platform/shared_memory.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "temp_folder.h"

namespace {

constexpr std::size_t kBytes = 1 << 20;
constexpr char kLaidOut[] = "laid out";

std::unique_ptr<platform::SharedMemory> OpenRegion(const std::string& path, int* prepared) {
    return platform::SharedMemory::Open(
        path, kBytes, 2,
        [](const void* data) { return std::memcmp(data, kLaidOut, sizeof kLaidOut) == 0; },
        [prepared](void* data) {
            std::memcpy(data, kLaidOut, sizeof kLaidOut);
            ++*prepared;
        });
}

TEST(SharedMemory, ProcessesOpeningOneFileShareItsMemoryLaidOutOnce) {
    TempFolder folder;
    const std::string path = folder.PathOf("region");
    int prepared = 0;
    auto first = OpenRegion(path, &prepared);
    ASSERT_NE(first, nullptr);
    // Opened again, as every later process opens it, and kept open meanwhile.
    auto again = OpenRegion(path, &prepared);
    ASSERT_NE(again, nullptr);
    static_cast<char*>(first->Data())[kBytes - 1] = 'x';
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);  // a child that cannot open the region beside the others ends the test
        int preparedHere = 0;
        auto second = OpenRegion(path, &preparedHere);
        const bool sees =
            second && preparedHere == 0 && static_cast<char*>(second->Data())[kBytes - 1] == 'x';
        if (second) static_cast<char*>(second->Data())[0] = 'L';
        _exit(sees ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(static_cast<char*>(first->Data())[0], 'L');
}

struct Unfit {
    const char* name;
    std::string content;
};

TEST(SharedMemory, AFileOfAnotherSizeOrContentIsLaidOutAfresh) {
    const Unfit cases[] = {
        {"empty", ""},
        {"short", "a file of some other program"},
        {"right size, foreign content", std::string(kBytes + 4096, 'z')},
    };
    for (const Unfit& c : cases) {
        TempFolder folder;
        folder.Write("region", c.content);
        int prepared = 0;
        auto region = OpenRegion(folder.PathOf("region"), &prepared);
        ASSERT_NE(region, nullptr) << c.name;
        EXPECT_EQ(prepared, 1) << c.name;
        EXPECT_EQ(std::memcmp(region->Data(), kLaidOut, sizeof kLaidOut), 0) << c.name;
    }
}

// The processes of the owner's group share it, and no one else, whatever the umask of the
// process that made it; the last process to close it gives its memory back.
TEST(SharedMemory, ANewFileIsSharedWithTheGroupAloneAndRemovedByTheLastToCloseIt) {
    TempFolder folder;
    const std::string path = folder.PathOf("region");
    int prepared = 0;
    const mode_t umaskBefore = umask(0077);
    auto first = OpenRegion(path, &prepared);
    umask(0);
    auto second = OpenRegion(path, &prepared);
    umask(umaskBefore);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0660u);
    first.reset();
    EXPECT_TRUE(folder.Exists("region"));
    second.reset();
    EXPECT_FALSE(folder.Exists("region"));
}

// One install's processes meet however its folder is spelled; two installs never do.
TEST(SharedMemory, ThePlaceOfARegionIsNamedFromTheFoldersRealPath) {
    TempFolder folder;
    std::filesystem::create_directories(folder.PathOf("one/sub"));
    std::filesystem::create_directories(folder.PathOf("two"));
    std::filesystem::create_directory_symlink(folder.PathOf("one"), folder.PathOf("link"));
    const std::string place = platform::SharedMemory::PlaceFor(folder.PathOf("one"), "region");
    EXPECT_EQ(place.rfind("/dev/shm/region-", 0), 0u) << place;
    for (const char* same : {"one/", "one/sub/..", "link", "./one"}) {
        EXPECT_EQ(platform::SharedMemory::PlaceFor(folder.PathOf(same), "region"), place) << same;
    }
    EXPECT_NE(platform::SharedMemory::PlaceFor(folder.PathOf("two"), "region"), place);
}

TEST(SharedMemory, AFileThatCannotBeCreatedGivesNoRegion) {
    TempFolder folder;
    int prepared = 0;
    EXPECT_EQ(OpenRegion(folder.PathOf("missing-folder/region"), &prepared), nullptr);
}

TEST(SharedMemory, ALockHeldByAKilledProcessPassesToTheNextTakerMarkedFromTheDead) {
    TempFolder folder;
    int prepared = 0;
    auto region = OpenRegion(folder.PathOf("region"), &prepared);
    ASSERT_NE(region, nullptr);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        region->Lock(1);
        const char taken = 1;
        if (write(ready[1], &taken, 1) != 1) _exit(1);
        for (;;) pause();
    }
    char taken = 0;
    ASSERT_EQ(read(ready[0], &taken, 1), 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);

    EXPECT_EQ(region->Lock(0), platform::SharedMemory::Taken::Clean);  // the others are free
    region->Unlock(0);
    EXPECT_EQ(region->Lock(1), platform::SharedMemory::Taken::FromTheDead);
    region->Unlock(1);
    EXPECT_EQ(region->Lock(1), platform::SharedMemory::Taken::Clean);
    region->Unlock(1);
}

}  // namespace
