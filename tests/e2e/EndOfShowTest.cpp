#include "TestFiles.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string errors;
};

// Runs the program in `folder` as a viewer starts it (no dialog, windowed, no message box).
ProgramRun runProgram(const TempDir& folder) {
    const std::string program = std::string(MORVELDAN_BUILD_DIR) + "/morveldan";
    const std::string command = "cd '" + folder.path().string() + "' && timeout 120 '" + program +
                                "' --no-setup --windowed --no-message-box 2> errors.txt";
    const int status = std::system(command.c_str());
    ProgramRun run;
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    std::ifstream errors(folder.file("errors.txt"));
    std::stringstream text;
    text << errors.rdbuf();
    run.errors = text.str();
    return run;
}

} // namespace

TEST(EndOfShow, EndDemoEndsTheProgramWithItsMessageAndExitCodeZero) {
    TempDir folder;
    writeTextFile(folder.file("data/demo.txt"), "data/none.ogg\n"
                                                "0\n"
                                                "2\n"
                                                "FlashWhite\n"
                                                "0\n"
                                                "400\n"
                                                "EndDemo\n"
                                                "300\n"
                                                "-1\n");
    const ProgramRun run = runProgram(folder);
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find("Exception: End of show\n"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("Loaded EndDemo with start time 300 and end time -1"),
              std::string::npos)
        << run.errors;
}
