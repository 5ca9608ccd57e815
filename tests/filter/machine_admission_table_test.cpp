// What only the shared table does: processes that open one file see one table, and one that
// dies in the middle of a change leaves the others a sound table. The answers themselves are
// checked for every kind in process_admission_table_test.cpp.
#include "machine_admission_table.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

constexpr std::int64_t kStart = 1'136'073'600;  // 2006-01-01

std::string AddressOf(int process, int n) {
    return "10." + std::to_string(process) + "." + std::to_string(n / 256) + "." +
           std::to_string(n % 256);
}

bool ExitedCleanly(pid_t child) {
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(MachineAdmissionTable, ForkedProcessesAdmitAndLookUpInOneTable) {
    constexpr int kProcesses = 4;
    constexpr int kEach = 300;
    TempFolder folder;
    const std::string path = folder.PathOf("admissions");
    auto table = MachineAdmissionTable::Open(path);
    ASSERT_NE(table, nullptr);
    table->SetTimeToLive(60);
    table->Admit("192.0.2.1", kStart);

    std::vector<pid_t> children;
    for (int p = 1; p <= kProcesses; ++p) {
        const pid_t child = fork();
        if (child == 0) {
            // Each process opens the file itself, as each worker loading the module does.
            auto own = MachineAdmissionTable::Open(path);
            if (!own) _exit(2);
            own->SetTimeToLive(60);
            bool ok = own->IsAdmitted("192.0.2.1", kStart + 1);
            for (int n = 0; n < kEach; ++n) {
                own->Admit(AddressOf(p, n), kStart + 1);
                ok = ok && own->IsAdmitted(AddressOf(p, n), kStart + 1);
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) EXPECT_TRUE(ExitedCleanly(child));

    EXPECT_EQ(table->Size(), 1u + kProcesses * kEach);
    for (int p = 1; p <= kProcesses; ++p) {
        for (int n = 0; n < kEach; ++n) {
            ASSERT_TRUE(table->IsAdmitted(AddressOf(p, n), kStart + 2)) << AddressOf(p, n);
        }
    }
    // Each process judges with its own time to live.
    table->SetTimeToLive(0);
    EXPECT_FALSE(table->IsAdmitted(AddressOf(1, 0), kStart + 2));
}

// The killed process is stopped wherever it is: in about one round in five it holds the one
// shard's lock, often in the middle of a change; thirty rounds make a miss of that unlikely.
TEST(MachineAdmissionTable, AProcessKilledInTheMiddleOfChangesLeavesTheOthersASoundTable) {
    constexpr std::size_t kCapacity = 4000;
    constexpr int kAddresses = 6000;
    for (int round = 0; round < 30; ++round) {
        TempFolder folder;
        const std::string path = folder.PathOf("admissions");
        auto table = MachineAdmissionTable::Open(path, kCapacity, 1);
        ASSERT_NE(table, nullptr);
        table->SetTimeToLive(1000);
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            auto own = MachineAdmissionTable::Open(path, kCapacity, 1);
            if (!own) _exit(2);
            own->SetTimeToLive(1000);
            for (int n = 0;; ++n) {
                const std::int64_t now = kStart + std::min(n / 1000, 50);
                own->Admit(AddressOf(round, n % kAddresses), now);
                own->IsAdmitted(AddressOf(round, (n * 7) % kAddresses), now);
                if (n % 500 == 0) own->Addresses();
                if (n == kAddresses + 397 * round) {
                    const char busy = 1;
                    if (write(ready[1], &busy, 1) != 1) _exit(1);
                }
            }
        }
        char busy = 0;
        ASSERT_EQ(read(ready[0], &busy, 1), 1);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        close(ready[0]);
        close(ready[1]);

        // The survivors get the locks and find a table that holds together.
        const std::int64_t later = kStart + 100;
        table->Admit("192.0.2.1", later);
        EXPECT_TRUE(table->IsAdmitted("192.0.2.1", later));
        const std::vector<std::string> addresses = table->Addresses();
        EXPECT_EQ(addresses.size(), table->Size());
        EXPECT_LE(addresses.size(), kCapacity);
        EXPECT_EQ(std::set<std::string>(addresses.begin(), addresses.end()).size(),
                  addresses.size());
        EXPECT_EQ(addresses.front(), "192.0.2.1");
        for (const std::string& address : addresses) {
            EXPECT_TRUE(table->IsAdmitted(address, later)) << address;
        }
        // Every slot is still of use: a full table of new addresses fits.
        for (int n = 0; n < static_cast<int>(kCapacity); ++n) {
            table->Admit(AddressOf(200, n), later + 1);
        }
        for (int n = 0; n < static_cast<int>(kCapacity); ++n) {
            ASSERT_TRUE(table->IsAdmitted(AddressOf(200, n), later + 1)) << n;
        }
    }
}

TEST(MachineAdmissionTable, ATableOfAnotherShapeInTheFileIsLaidOutAfresh) {
    TempFolder folder;
    const std::string path = folder.PathOf("admissions");
    {
        auto small = MachineAdmissionTable::Open(path, 100, 4);
        ASSERT_NE(small, nullptr);
        small->SetTimeToLive(60);
        small->Admit("10.0.0.1", kStart);
    }
    auto other = MachineAdmissionTable::Open(path, 200, 4);
    ASSERT_NE(other, nullptr);
    other->SetTimeToLive(60);
    EXPECT_EQ(other->Size(), 0u);
    other->Admit("10.0.0.2", kStart);
    EXPECT_TRUE(other->IsAdmitted("10.0.0.2", kStart));
}

// A damaged count costs admissions, never the process: the pool's counters (in an empty table
// the one 64-byte boundary reading "none used, none free") made to read "every slot used".
TEST(MachineAdmissionTable, ADamagedCountInTheFileIsCheckedAndMended) {
    TempFolder folder;
    auto table = MachineAdmissionTable::Open(folder.PathOf("admissions"), 64, 1);
    ASSERT_NE(table, nullptr);
    const std::string file = folder.Read("admissions");
    std::size_t pool = 0;
    while (file.compare(pool, 8, "\0\0\0\0\xff\xff\xff\xff", 8) != 0) pool += 64;
    std::fstream(folder.PathOf("admissions"), std::ios::in | std::ios::out | std::ios::binary)
            .seekp(pool)
        << "\xff\xff\xff\xff";
    table->SetTimeToLive(60);
    table->Admit("10.0.0.1", kStart);
    EXPECT_TRUE(table->IsAdmitted("10.0.0.1", kStart));
}

TEST(MachineAdmissionTable, AnAddressLongerThanASlotIsKeptByThisProcess) {
    TempFolder folder;
    auto table = MachineAdmissionTable::Open(folder.PathOf("admissions"));
    ASSERT_NE(table, nullptr);
    table->SetTimeToLive(60);
    const std::string longest(MachineAdmissionTable::kMaxAddress, 'a');
    const std::string overlong(MachineAdmissionTable::kMaxAddress + 1, 'a');
    table->Admit(longest, kStart);
    table->Admit(overlong, kStart + 1);
    // A request whose server gave no client address (found by the pipeline fuzz target).
    table->Admit(std::string_view(), kStart + 1);
    EXPECT_TRUE(table->IsAdmitted(longest, kStart + 1));
    EXPECT_TRUE(table->IsAdmitted(overlong, kStart + 1));
    EXPECT_TRUE(table->IsAdmitted(std::string_view(), kStart + 1));
    EXPECT_EQ(table->Addresses(), (std::vector<std::string>{"", longest, overlong}));
    EXPECT_FALSE(table->IsAdmitted(overlong, kStart + 62));
}

}  // namespace
