#include "player/VideoSetupModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int fourBytes = 4;
constexpr int twoBytes = 2;

std::vector<std::string> listTexts(const VideoSetupModel& model) {
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < model.resolutions().size(); ++i)
        texts.push_back(model.resolutionText(i));
    return texts;
}

VideoSettings windowedSettings() {
    VideoSettings settings;
    settings.windowed = true;
    return settings;
}

} // namespace

TEST(VideoSetupModel, ListKeepsSystemOrderSkipsOtherDepthsAndRepeatsOfTheLastSize) {
    const std::vector<DisplayMode> modes = {
        {1280, 1024, fourBytes}, {800, 600, fourBytes},  {800, 600, fourBytes},
        {800, 600, fourBytes},   {800, 600, twoBytes},   {640, 480, twoBytes},
        {800, 600, fourBytes},   {1024, 768, fourBytes}, {800, 600, fourBytes},
        {1024, 768, 3},          {1024, 768, fourBytes},
    };
    VideoSettings settings;
    settings.width = 1920;
    const VideoSetupModel model(settings, modes);

    // Three 800 x 600 modes in a row give one entry; the same size after another size comes again.
    // 16-bit and 24-bit modes are left out and never count as the last entry added, so the fourth
    // 800 x 600 behind two 16-bit modes is still a repeat.
    const std::vector<std::string> expected = {"1280 * 1024", "800 * 600", "1024 * 768",
                                               "800 * 600", "1024 * 768"};
    EXPECT_EQ(listTexts(model), expected);
    EXPECT_EQ(model.selectedResolution(), VideoSetupModel::noSelection);
}

TEST(VideoSetupModel, SixteenBitDepthListsOnlyTwoBytePixels) {
    const std::vector<DisplayMode> modes = {
        {1024, 768, fourBytes}, {800, 600, twoBytes}, {640, 480, fourBytes}, {640, 480, twoBytes}};
    VideoSettings settings;
    settings.bitsPerPixel = 16;
    settings.width = 640;
    settings.height = 480;
    const VideoSetupModel model(settings, modes);

    const std::vector<std::string> expected = {"800 * 600", "640 * 480"};
    EXPECT_EQ(listTexts(model), expected);
    EXPECT_EQ(model.selectedResolution(), 1);
}

TEST(VideoSetupModel, LastMatchingEntryIsSelected) {
    const std::vector<DisplayMode> modes = {{1024, 768, fourBytes},
                                            {800, 600, fourBytes},
                                            {1024, 768, fourBytes},
                                            {640, 480, fourBytes}};
    const VideoSetupModel model(VideoSettings{}, modes);
    EXPECT_EQ(model.selectedResolution(), 2);
}

TEST(VideoSetupModel, ListStopsAtItsLimit) {
    std::vector<DisplayMode> modes;
    for (int i = 0; i < 5000; ++i)
        modes.push_back({100 + i, 100, fourBytes});
    modes.push_back({1024, 768, fourBytes});
    const VideoSetupModel model(VideoSettings{}, modes);

    ASSERT_EQ(model.resolutions().size(), VideoSetupModel::maxResolutions);
    EXPECT_EQ(model.resolutionText(VideoSetupModel::maxResolutions - 1), "4195 * 100");
    EXPECT_EQ(model.selectedResolution(), VideoSetupModel::noSelection);
}

TEST(VideoSetupModel, WithNoModesTheBoxesStillStartFromTheRecordButAlwaysOnTopCleared) {
    const VideoSetupModel fullscreen(VideoSettings{}, {});
    EXPECT_TRUE(fullscreen.resolutions().empty());
    EXPECT_EQ(fullscreen.selectedResolution(), VideoSetupModel::noSelection);
    EXPECT_TRUE(fullscreen.fullscreen());
    EXPECT_TRUE(fullscreen.verticalSync());
    EXPECT_FALSE(fullscreen.multisampling());
    EXPECT_FALSE(fullscreen.alwaysOnTop());
    EXPECT_FALSE(fullscreen.alwaysOnTopEnabled());

    VideoSettings settings = windowedSettings();
    settings.verticalSync = false;
    settings.multisampling = true;
    const VideoSetupModel windowed(settings, {});
    EXPECT_FALSE(windowed.fullscreen());
    EXPECT_FALSE(windowed.verticalSync());
    EXPECT_TRUE(windowed.multisampling());
    EXPECT_FALSE(windowed.alwaysOnTop());
    EXPECT_TRUE(windowed.alwaysOnTopEnabled());
}

TEST(VideoSetupModel, FullscreenClearsAndDisablesAlwaysOnTop) {
    VideoSetupModel model(VideoSettings{}, {});
    model.setAlwaysOnTop(true);
    EXPECT_FALSE(model.alwaysOnTop()) << "a disabled box cannot be ticked";

    model.setFullscreen(false);
    EXPECT_TRUE(model.alwaysOnTopEnabled());
    EXPECT_FALSE(model.alwaysOnTop());
    model.setAlwaysOnTop(true);
    EXPECT_TRUE(model.alwaysOnTop());

    model.setFullscreen(true);
    EXPECT_FALSE(model.alwaysOnTop());
    EXPECT_FALSE(model.alwaysOnTopEnabled());

    // Clearing Fullscreen again enables the box but does not tick it back.
    model.setFullscreen(false);
    EXPECT_TRUE(model.alwaysOnTopEnabled());
    EXPECT_FALSE(model.alwaysOnTop());
}

TEST(VideoSetupModel, RunStoresTheBoxesAndTheSelectedResolution) {
    const std::vector<DisplayMode> modes = {{1024, 768, fourBytes}, {800, 600, fourBytes}};
    VideoSettings settings;
    VideoSetupModel model(settings, modes);
    model.selectResolution(1);
    model.setFullscreen(false);
    model.setAlwaysOnTop(true);
    model.setVerticalSync(false);
    model.setMultisampling(true);

    EXPECT_TRUE(model.finish(SetupOutcome::Run, settings));
    EXPECT_EQ(settings.width, 800);
    EXPECT_EQ(settings.height, 600);
    EXPECT_EQ(settings.bitsPerPixel, 32);
    EXPECT_TRUE(settings.windowed);
    EXPECT_TRUE(settings.alwaysOnTop);
    EXPECT_FALSE(settings.verticalSync);
    EXPECT_TRUE(settings.multisampling);
}

TEST(VideoSetupModel, RunWithTheDefaultsClearsAlwaysOnTop) {
    const std::vector<DisplayMode> modes = {{1024, 768, fourBytes}};
    VideoSettings settings;
    const VideoSetupModel model(settings, modes);
    EXPECT_TRUE(model.finish(SetupOutcome::Run, settings));
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
    EXPECT_FALSE(settings.windowed);
    EXPECT_FALSE(settings.alwaysOnTop);
    EXPECT_TRUE(settings.verticalSync);
    EXPECT_FALSE(settings.multisampling);
}

TEST(VideoSetupModel, RunWithNothingSelectedKeepsTheSize) {
    const std::vector<DisplayMode> modes = {{1280, 1024, fourBytes}, {800, 600, fourBytes}};
    VideoSettings settings = windowedSettings();
    settings.width = 1000;
    settings.height = 700;
    VideoSetupModel model(settings, modes);
    ASSERT_EQ(model.selectedResolution(), VideoSetupModel::noSelection);
    model.selectResolution(7); // outside the list
    EXPECT_EQ(model.selectedResolution(), VideoSetupModel::noSelection);
    model.setMultisampling(true);

    EXPECT_TRUE(model.finish(SetupOutcome::Run, settings));
    EXPECT_EQ(settings.width, 1000);
    EXPECT_EQ(settings.height, 700);
    EXPECT_TRUE(settings.multisampling);
}

TEST(VideoSetupModel, CancelAndAnUnshownDialogLeaveTheRecordUnchanged) {
    const std::vector<DisplayMode> modes = {{800, 600, fourBytes}};
    const VideoSettings original = windowedSettings();
    VideoSetupModel model(original, modes);
    model.selectResolution(0);
    model.setFullscreen(true);
    model.setVerticalSync(false);
    model.setMultisampling(true);

    for (SetupOutcome outcome : {SetupOutcome::Cancel, SetupOutcome::NotShown}) {
        VideoSettings settings = original;
        EXPECT_EQ(model.finish(outcome, settings), outcome == SetupOutcome::NotShown);
        EXPECT_EQ(settings.width, original.width);
        EXPECT_EQ(settings.height, original.height);
        EXPECT_EQ(settings.windowed, original.windowed);
        EXPECT_EQ(settings.verticalSync, original.verticalSync);
        EXPECT_EQ(settings.multisampling, original.multisampling);
        EXPECT_EQ(settings.alwaysOnTop, original.alwaysOnTop);
    }
}
