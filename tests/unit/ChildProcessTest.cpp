// A program run as a child process: its arguments, environment and log, its exit status, and its
// end when asked or when its owner ends first.
#include "platform/ChildProcess.h"
#include "TestFiles.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Its exit status, waited for up to ten seconds (empty if it still runs then).
std::optional<int> exitStatusOf(ChildProgram& program) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    std::optional<int> status;
    while (!(status = program.exitStatus()) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return status;
}

TEST(ChildProcess, AProgramWritesItsLogGivesItsStatusAndEndsWhenAskedOrWithItsOwner) {
    TempDir folder;
    const std::string log = folder.file("child.log");
    writeTextFile(log, "an earlier run's log, longer than this one's\n");
    {
        ChildProgram program({"/bin/sh", "-c", "echo out; echo err >&2; echo $WORD; exit 3"}, log,
                             {"WORD=given", "HOME=/elsewhere"});
        EXPECT_EQ(exitStatusOf(program), 3);
        EXPECT_EQ(program.exitStatus(), 3); // asked again
    }
    EXPECT_EQ(readFileBytes(log), "out\nerr\ngiven\n");

    ChildProgram asked({"/bin/sleep", "30"}, log);
    EXPECT_EQ(asked.exitStatus(), std::nullopt);
    asked.stop();
    EXPECT_EQ(exitStatusOf(asked), 128 + SIGTERM);

    // An owner that ends first ends it and waits for it: nothing is left, not even a zombie.
    const std::string pidFile = folder.file("pid");
    const auto start = Clock::now();
    {
        ChildProgram owned({"/bin/sh", "-c", "echo $$ > " + pidFile + "; exec sleep 30"}, log);
        while (readFileBytes(pidFile).empty() && Clock::now() - start < std::chrono::seconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const pid_t pid = pid_t(std::atol(readFileBytes(pidFile).c_str()));
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(kill(pid, 0) != 0 && errno == ESRCH);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));

    try {
        ChildProgram missing({folder.file("none")}, log);
        FAIL() << "a missing program started";
    } catch (const ShowError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Unable to start " + folder.file("none") + ": No such file or directory");
    }
}

} // namespace
