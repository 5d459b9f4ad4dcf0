// Shows from elsewhere: files that hung or fooled the readers are refused by name in --check, and
// one signal ends a run whose load is stuck.
#include "ShowProcess.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string imageEntry(const std::string& file) {
    return "AlphaBlendImage\n0\n1000\ndata/" + file + "\nBEATCENTER\n";
}

} // namespace

TEST(HostileFiles, ACheckNamesEveryRefusedFileAndFails) {
    TempDir run;
    const fs::path data = run.path() / "data";
    fs::create_directories(data);
    const std::string exrMagic("\x76\x2f\x31\x01\x02\x00\x00\x00", 8);
    writeTextFile((data / "magic.exr").string(), exrMagic);
    writeTextFile((data / "sixteen.exr").string(), exrMagic + std::string("a\0b\0\0\0\0\0", 8));
    writeTextFile((data / "few.ico").string(), std::string("\0\0\1\0\1\0\0\0\0\0\0\0\0\0", 14));
    writeTextFile((data / "table.sgi").string(),
                  std::string("\x01\xda\x01\x01\x00\x03\x03\xe8\x03\xe8\x00\x03", 12) +
                      std::string(500, '\0'));
    // Three faults on the line after the 99th: the list stops at 100.
    std::string tracks = "track t\n";
    for (int line = 0; line < 99; ++line)
        tracks += "x\n";
    writeTextFile((data / "demo.tracks").string(), tracks + "-1 x wobble\n");
    writeTextFile((data / "demo.txt").string(),
                  "data/none.wav\n0\n6\n" + imageEntry("magic.exr") + imageEntry("sixteen.exr") +
                      imageEntry("few.ico") + imageEntry("table.sgi") + "EndDemo\n1500\n60000\n");

    ShowProcess check(run.path(), {"--check"});
    EXPECT_EQ(check.wait(std::chrono::seconds(20)), 1);
    const std::string output = check.standardOutput();
    for (const char* line :
         {":4: the entry 'AlphaBlendImage': Image data/magic.exr is refused: its header is cut "
          "short at byte 8\n",
          ":9: the entry 'AlphaBlendImage': Image data/sixteen.exr is refused: its header is cut "
          "short at byte 16\n",
          ":14: the entry 'AlphaBlendImage': Image data/few.ico is refused: its directory of 1 "
          "icons is cut short (14 bytes)\n",
          ":19: the entry 'AlphaBlendImage': Image data/table.sgi is refused: its table of 3000 "
          "rows is cut short\n",
          "data/demo.tracks:101: bad time '-1': milliseconds from 0 to 4294967295\n",
          "data/demo.tracks:101: 100 faults: the rest of the file is not read\n"})
        EXPECT_NE(output.find(line), std::string::npos) << line << "\nnot in:\n" << output;
    EXPECT_EQ(output.find("bad value 'x'"), std::string::npos) << "faults past the limit listed";
}

TEST(HostileFiles, OneSignalEndsARenderWhoseLoadIsStuck) {
    for (const auto& [signal, status] : {std::pair{SIGTERM, 143}, std::pair{SIGINT, 130}}) {
        TempDir run, output;
        const fs::path data = run.path() / "data";
        fs::create_directories(data);
        // The plug-in opens its log to append to it: a named pipe without a reader keeps it
        // waiting in its Init for ever.
        const std::string pipe = run.file("stuck.log");
        ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
        writeTextFile((data / "demo.txt").string(),
                      "data/none.wav\n0\n6\nFlashWhite\n0\n100\nPlugin\n0\n1000\n" +
                          testPlugin("test_logger") + "\n" + pipe + "\nstuck\nEndDemo\n0\n-1\n");
        ShowProcess render(run.path(), {"--render", output.file("show.mp4"), "--size", "32x32"});
        ASSERT_TRUE(waitUntil(
            [&] { return render.errorOutput().find("Loaded FlashWhite") != std::string::npos; },
            std::chrono::seconds(30)))
            << "the program never loaded the entry before the plug-in";
        usleep(500000); // into the plug-in's wait
        kill(render.pid(), signal);
        EXPECT_EQ(render.wait(std::chrono::seconds(3)), status) << render.errorOutput();
        EXPECT_TRUE(fs::is_empty(output.path())) << "something was left behind";
    }
}
