// The end-of-show entry, in the real program.
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

TEST(EndOfShow, EndDemoEndsTheProgramWithItsMessageAndExitCodeZero) {
    TempDir run;
    writeTextFile(run.file("data/demo.txt"), "data/none.ogg\n0\n2\n"
                                             "FlashWhite\n0\n400\n"
                                             "EndDemo\n300\n-1\n");
    const ShowResult result = runShow(run.path(), {"--no-setup", "--windowed", "--no-message-box"});
    EXPECT_EQ(result.exitStatus, 0) << result.errorOutput;
    EXPECT_NE(result.errorOutput.find("morveldan: End of show\n"), std::string::npos)
        << result.errorOutput;
    EXPECT_NE(result.errorOutput.find("Loaded EndDemo with start time 300 and end time -1"),
              std::string::npos)
        << result.errorOutput;
}
