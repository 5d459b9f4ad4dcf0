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
    EXPECT_FALSE(line.authorOverlay);
    const CommandLine author = parse({"--author"});
    EXPECT_TRUE(author.authorOverlay);
    EXPECT_TRUE(author.settings.windowed);
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
    // A shot has the warm-up of a render.
    EXPECT_EQ(shot.render.warmup, 0u);
    const CommandLine warm = parse({"--shot", "5", "a.png", "--warmup", "200", "--fps", "30"});
    EXPECT_EQ(warm.action, CommandLine::Action::Shot);
    EXPECT_EQ(warm.render.warmup, 200u);
    EXPECT_EQ(warm.render.fps, 30);
    // A shot is at most as large as a render, either way round.
    EXPECT_EQ(parse({"--size", "2160x3840", "--shot", "0", "a.png"}).action,
              CommandLine::Action::Shot);
}

TEST(CommandLine, CheckLoadsInAHiddenWindowWithoutDialogOrBox) {
    const CommandLine check = parse({"--check"});
    EXPECT_EQ(check.action, CommandLine::Action::Check);
    EXPECT_FALSE(check.showSetup);
    EXPECT_FALSE(check.messageBox);
    EXPECT_TRUE(check.settings.windowed);
    EXPECT_TRUE(check.settings.hidden);
    EXPECT_EQ(parse({"--check", "--help"}).action, CommandLine::Action::Help);
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
        {"--size", "16384x16384", "--shot", "0", "a.png"},
        {"--shot", "0", "a.png", "--size", "3841x100"},
        {"--shot", "0", "a.png", "--size", "2200x3840"},
        {"--bogus"},
        {"show", "--windowed", "other"},
        {""},
    };
    for (const auto& arguments : mistakes) {
        const CommandLine line = parse(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::Invalid) << arguments.back();
        EXPECT_FALSE(line.problem.empty());
    }
    EXPECT_EQ(parse({"--windowed", "shows/mine"}).showFolder, "shows/mine");
    EXPECT_EQ(parse({"--help"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parse({"--version"}).action, CommandLine::Action::Version);
}

TEST(CommandLine, RenderOptionsAndTheirDefaults) {
    const CommandLine video = parse({"--render", "show.mp4"});
    EXPECT_EQ(video.action, CommandLine::Action::Render);
    EXPECT_EQ(video.render.videoFile, "show.mp4");
    EXPECT_EQ(video.render.fps, 60);
    EXPECT_EQ(video.render.warmup, 0u);
    EXPECT_EQ(video.render.quality, 20);
    EXPECT_EQ(video.render.preset, "veryfast");
    EXPECT_FALSE(video.render.from.has_value());
    EXPECT_FALSE(video.render.to.has_value());
    EXPECT_EQ(video.settings.width, 1280);
    EXPECT_EQ(video.settings.height, 720);
    EXPECT_TRUE(video.settings.hidden);
    EXPECT_FALSE(video.showSetup);
    EXPECT_FALSE(video.messageBox);

    const CommandLine frames =
        parse({"--fps", "25", "--frames", "out", "--from", "0", "--to", "4294967295", "--warmup",
               "7000", "--quality", "51", "--size", "2160x3840", "--verbose", "--preset", "slow"});
    EXPECT_EQ(frames.action, CommandLine::Action::Render);
    EXPECT_EQ(frames.render.framesFolder, "out");
    EXPECT_EQ(frames.render.fps, 25);
    EXPECT_EQ(frames.render.from, 0u);
    EXPECT_EQ(frames.render.to, 4294967295u);
    EXPECT_EQ(frames.render.warmup, 7000u);
    EXPECT_EQ(frames.render.quality, 51);
    EXPECT_EQ(frames.render.preset, "slow");
    EXPECT_TRUE(frames.render.verbose);
    EXPECT_EQ(frames.settings.width, 2160);
    EXPECT_EQ(frames.settings.height, 3840);
    // Pictures may have odd sides; a video may not.
    EXPECT_EQ(parse({"--frames", "out", "--size", "33x17"}).action, CommandLine::Action::Render);

    const CommandLine sheet = parse({"--contact-sheet", "sheet.png"});
    EXPECT_EQ(sheet.action, CommandLine::Action::ContactSheet);
    EXPECT_EQ(sheet.settings.width, 640);
    EXPECT_EQ(sheet.settings.height, 480);
    EXPECT_EQ(sheet.render.warmup, 1000u);
    EXPECT_EQ(parse({"--warmup", "3000", "--contact-sheet", "s.png"}).render.warmup, 3000u);

    // A profile draws what a render of the same options would keep, and writes no picture.
    const CommandLine profile = parse({"--profile", "--size", "640x480", "--fps", "30"});
    EXPECT_EQ(profile.action, CommandLine::Action::Profile);
    EXPECT_TRUE(profile.settings.hidden);
    EXPECT_EQ(profile.settings.width, 640);
    EXPECT_EQ(profile.render.fps, 30);
    EXPECT_EQ(profile.render.warmup, 0u);
    EXPECT_TRUE(profile.render.profileCsv.empty());
    const CommandLine csv = parse({"--profile-csv", "p.csv", "--size", "33x17"});
    EXPECT_EQ(csv.action, CommandLine::Action::Profile);
    EXPECT_EQ(csv.render.profileCsv, "p.csv");
}

TEST(CommandLine, RenderMistakesAreInvalid) {
    const std::vector<std::vector<const char*>> mistakes = {
        {"--render"},
        {"--render", ""},
        {"--render", "a.mp4", "--fps", "0"},
        {"--render", "a.mp4", "--fps", "241"},
        {"--render", "a.mp4", "--quality", "52"},
        {"--render", "a.mp4", "--from", "-1"},
        {"--render", "a.mp4", "--to", "4294967296"},
        {"--render", "a.mp4", "--warmup"},
        {"--render", "a.mp4", "--from", "10", "--to", "10"},
        {"--render", "a.mp4", "--size", "3842x2160"},
        {"--render", "a.mp4", "--size", "3000x3000"},
        {"--render", "a.mp4", "--size", "641x480"},
        {"--render", "a.mp4", "--frames", "out"},
        {"--frames", "out", "--contact-sheet", "s.png"},
        {"--render", "a.mp4", "--shot", "10", "a.png"},
        {"--fps", "30"},
        {"--to", "1000", "--shot", "10", "a.png"},
        {"--warmup", "10"},
        {"--check", "--shot", "10", "a.png"},
        {"--render", "a.mp4", "--check"},
        {"--render", "a.mp4", "--preset", "quick"},
        {"--render", "a.mp4", "--preset", ""},
        {"--preset", "fast"},
        {"--profile", "--render", "a.mp4"},
        {"--profile", "--shot", "10", "a.png"},
        {"--profile-csv"},
        {"--profile-csv", ""},
    };
    for (const auto& arguments : mistakes) {
        const CommandLine line = parse(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::Invalid) << arguments.back();
        EXPECT_FALSE(line.problem.empty());
    }
}

} // namespace
