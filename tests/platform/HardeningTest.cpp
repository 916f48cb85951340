#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/Hardening.h"

using namespace morvane;

namespace {

// AddressSanitizer turns mlock into a no-op that reports success.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLocksWork = false;
#else
constexpr bool kLocksWork = true;
#endif

// The VmFlags of the mapping holding p, from /proc/self/smaps ("" when none holds it).
std::string FlagsOfMappingAt(const void* p)
{
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        std::uintptr_t from = 0, to = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> from >> dash >> to && dash == '-' && line.find(' ') != std::string::npos &&
            line.find(':') > line.find(' ')) {
            inside = from <= at && at < to;
            continue;
        }
        if (inside && line.rfind("VmFlags:", 0) == 0)
            return line;
    }
    return "";
}

// Runs f in a child process (so that this one stays as it was) and gives its exit code.
template <class F>
int InChild(F f)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(f());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Hardening, CoreDumpsGoOffUnlessTheDebuggingSwitchIsSet)
{
    auto check = [](const char* allow) {
        return InChild([allow] {
            if (allow)
                setenv("MORVANE_ALLOW_CORE_DUMPS", allow, 1);
            else
                unsetenv("MORVANE_ALLOW_CORE_DUMPS");
            const rlimit some{RLIM_INFINITY, RLIM_INFINITY};
            setrlimit(RLIMIT_CORE, &some);
            prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
            const bool off = DisableCoreDumps();
            rlimit now{};
            getrlimit(RLIMIT_CORE, &now);
            const bool dumpable = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0) == 1;
            return (off ? 1 : 0) | (dumpable ? 2 : 0) | (now.rlim_cur == 0 && now.rlim_max == 0 ? 4 : 0);
        });
    };
    EXPECT_EQ(check(nullptr), 1 | 4);
    EXPECT_EQ(check("0"), 1 | 4);
    EXPECT_EQ(check("1"), 2);
}

TEST(Hardening, SecureBlocksAreKeptOutOfDumpsAndReused)
{
    const SecurePoolStats before = SecurePoolUsage();
    std::vector<void*> blocks;
    // Every class, the boundaries around the largest, and a mapping of its own.
    for (std::size_t bytes : {1u, 16u, 17u, 100u, 512u, 4096u, 70000u, 131056u, 131057u, 1u << 20}) {
        void* p = SecureAlloc(bytes);
        ASSERT_NE(p, nullptr) << bytes;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 16, 0u);
        std::memset(p, 0xA5, bytes);
        EXPECT_NE(FlagsOfMappingAt(p).find(" dd"), std::string::npos) << bytes << FlagsOfMappingAt(p);
        if (kLocksWork && SecurePoolUsage().locked > before.locked) {
            EXPECT_NE(FlagsOfMappingAt(static_cast<char*>(p) + bytes - 1).find(" lo"), std::string::npos) << bytes;
        }
        blocks.push_back(p);
    }
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
        for (std::size_t j = i + 1; j < blocks.size(); ++j)
            EXPECT_NE(blocks[i], blocks[j]);
    const SecurePoolStats inUse = SecurePoolUsage();
    for (void* p : blocks)
        SecureFree(p);
    SecureFree(nullptr);
    const SecurePoolStats pooled = SecurePoolUsage();
    // Freed blocks serve the next allocations of their size without new pages; the block of
    // its own went back to the system.
    for (int round = 0; round < 1000; ++round)
        SecureFree(SecureAlloc(100 + static_cast<std::size_t>(round % 7)));
    EXPECT_EQ(SecurePoolUsage().mapped, pooled.mapped);
    EXPECT_GE(inUse.mapped - pooled.mapped, std::size_t{1} << 20);
    EXPECT_LE(pooled.locked, pooled.mapped);
}
