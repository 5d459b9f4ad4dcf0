#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CommandLine parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "morveldan");
    return parseCommandLine(int(arguments.size()), arguments.data());
}

TEST(CommandLine, NoArgumentsPlaysWithTheDefaultsAndTheDialog) {
    const CommandLine line = parse({});
    EXPECT_EQ(line.action, CommandLine::Action::Play);
    EXPECT_TRUE(line.showSetup);
    EXPECT_TRUE(line.messageBox);
    EXPECT_EQ(line.settings.width, 1024);
    EXPECT_EQ(line.settings.height, 768);
    EXPECT_FALSE(line.settings.windowed);
}

TEST(CommandLine, OptionsSetTheSettingsRecord) {
    const CommandLine line =
        parse({"--no-setup", "--windowed", "--size", "800x600", "--no-message-box"});
    EXPECT_EQ(line.action, CommandLine::Action::Play);
    EXPECT_FALSE(line.showSetup);
    EXPECT_FALSE(line.messageBox);
    EXPECT_TRUE(line.settings.windowed);
    EXPECT_EQ(line.settings.width, 800);
    EXPECT_EQ(line.settings.height, 600);
    EXPECT_FALSE(parse({"--windowed", "--fullscreen"}).settings.windowed);
}

TEST(CommandLine, ShotImpliesAWindowWithoutDialogOrBox) {
    const CommandLine shot = parse({"--shot", "4294967295", "out.png"});
    EXPECT_EQ(shot.action, CommandLine::Action::Shot);
    EXPECT_EQ(shot.shotTime, 4294967295u);
    EXPECT_EQ(shot.shotFile, "out.png");
    EXPECT_FALSE(shot.showSetup);
    EXPECT_FALSE(shot.messageBox);
    EXPECT_TRUE(shot.settings.windowed);
    EXPECT_EQ(shot.settings.width, 1024);
    EXPECT_EQ(shot.settings.height, 768);
    const CommandLine sized = parse({"--size", "64x48", "--shot", "0", "a.png", "--fullscreen"});
    EXPECT_EQ(sized.settings.width, 64);
    EXPECT_EQ(sized.settings.height, 48);
    EXPECT_TRUE(sized.settings.windowed);
}

TEST(CommandLine, MistakesAreInvalid) {
    const std::vector<std::vector<const char*>> mistakes = {
        {"--size"},
        {"--size", "0x5"},
        {"--size", "10x"},
        {"--size", "x10"},
        {"--size", "10x10x"},
        {"--size", "99999x1"},
        {"--size", "-4x4"},
        {"--size", "ten"},
        {"--shot", "10"},
        {"--shot", "-1", "a.png"},
        {"--shot", "4294967296", "a.png"},
        {"--shot", "1.5", "a.png"},
        {"--bogus"},
        {"extra"},
    };
    for (const auto& arguments : mistakes) {
        const CommandLine line = parse(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::Invalid) << arguments.back();
        EXPECT_FALSE(line.problem.empty());
    }
    EXPECT_EQ(parse({"--help"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"--version"}).action, CommandLine::Action::Version);
}

} // namespace
