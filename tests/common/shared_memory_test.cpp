#include "platform/shared_memory.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
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
    bool sparse = false;  // the right size and content, in pages given no memory or disk yet
};

// Laid out whole, shared with the owner's group alone whatever the umask, removed by the last.
TEST(SharedMemory, AFileOfAnotherSizeOrContentIsLaidOutAfresh) {
    const Unfit cases[] = {
        {"empty", ""},
        {"short", "a file of some other program"},
        {"right size, foreign content", std::string(kBytes + 4096, 'z')},
        {"sparse", "", true},
    };
    const mode_t umaskBefore = umask(0077);
    for (const Unfit& c : cases) {
        TempFolder folder;
        folder.Write("region", c.content);
        if (c.sparse) std::filesystem::resize_file(folder.PathOf("region"), kBytes + 4096);
        if (c.sparse) std::fstream(folder.PathOf("region")).seekp(4096) << kLaidOut;  // the data
        int prepared = 0;
        auto region = OpenRegion(folder.PathOf("region"), &prepared);
        ASSERT_NE(region, nullptr) << c.name;
        EXPECT_EQ(prepared, 1) << c.name;
        EXPECT_EQ(std::memcmp(region->Data(), kLaidOut, sizeof kLaidOut), 0) << c.name;
        struct stat file {};
        EXPECT_EQ(stat(folder.PathOf("region").c_str(), &file), 0);
        EXPECT_GE(file.st_blocks * 512, file.st_size) << c.name;
        EXPECT_EQ(file.st_mode & 0777, 0660u) << c.name;
        region.reset();
        EXPECT_FALSE(folder.Exists("region")) << c.name;
    }
    umask(umaskBefore);
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
