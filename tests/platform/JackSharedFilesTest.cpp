// JACK's per-user files damaged as servers that die while making them leave
// them: opening a JACK client then fails with a reason instead of killing the
// process. Runs in a child process with a /dev/shm of its own (a mount
// namespace), so that no other JACK program of the machine sees the damage;
// skipped where no mount namespace can be made.

#include "platform/midi/JackSharedFiles.h"

#include "platform/midi/JackClient.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr int skipped = 77;

// What the child found, as its exit code.
enum Step { Passed = 0, HealthyRefused, NotDamaged, DamageMissed, ClientOpened };

// In the child: a private /dev/shm, a healthy store, then one with a region
// file cut to nothing, as a server killed while making it leaves it.
int damageAndOpen() {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", "/dev/shm", "tmpfs", 0, "size=64m,mode=1777") != 0)
        return skipped;
    if (!qel::midi::checkJackSharedFiles(5s).empty())
        return HealthyRefused; // also makes the store
    const std::string region = "/dev/shm/jack_db-" + std::to_string(::getuid()) + "/__db.003";
    if (::truncate(region.c_str(), 0) != 0)
        return NotDamaged;
    if (qel::midi::checkJackSharedFiles(5s).find("damaged") == std::string::npos)
        return DamageMissed;
    std::string error;
    if (qel::midi::JackClient::open("qel-damaged", error) ||
        error.find("damaged") == std::string::npos)
        return ClientOpened;
    return Passed;
}

TEST(JackSharedFiles, ADamagedMetadataStoreFailsTheOpenInsteadOfKillingTheProcess) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(damageAndOpen());
    ASSERT_GT(child, 0);
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    ASSERT_GE(pidfd, 0);
    pollfd ended{pidfd, POLLIN, 0};
    const bool done = ::poll(&ended, 1, 60000) == 1;
    ::close(pidfd);
    if (!done)
        ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(done) << "the child hung";
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == skipped)
        GTEST_SKIP() << "no private /dev/shm can be made here (needs CAP_SYS_ADMIN)";
    EXPECT_EQ(WEXITSTATUS(status), Passed);
}

} // namespace
