// Key edits of the author mode: edits of a value's tracks and their undo list, the selected value
// and its nudges, saving and the recovery copy of unsaved edits.
#include "author/KeyEditing.h"
#include "TestFiles.h"
#include "author/TrackEditing.h"
#include "effekt/Effekt.h"
#include "timeline/ShowTracks.h"
#include "tracks/TracksFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class Entry : public Effekt {
public:
    using Effekt::Effekt;
    void draw(uint32_t, float) override {}
};

// An entry whose shader reads the free tracks of these names.
class ShaderEntry : public Entry {
public:
    ShaderEntry(int32_t start, int32_t end, std::vector<std::string> uniforms)
        : Entry(start, end), uniforms_(std::move(uniforms)) {}
    std::vector<std::string> trackUniforms() const override { return uniforms_; }

private:
    std::vector<std::string> uniforms_;
};

const ValueTracks position = {"Thing@0/Pos.x", "Thing@0/Pos.y", "Thing@0/Pos.z"};

TEST(KeyEditor, EditsOfAValueUndoStepByStepToWhereTheyStarted) {
    float numbers[3] = {1, 2, 3};
    const TweakVariable variable{nullptr, "Pos", TweakDir3F, numbers, ""};
    TrackSet tracks;
    KeyEditor editor;
    std::vector<std::string> states = {writeTracks(tracks)};
    auto edited = [&] { states.push_back(writeTracks(tracks)); };

    editor.setKey(tracks, position, variable, 1000);
    edited();
    ASSERT_EQ(tracks.tracks().size(), 3u);
    EXPECT_EQ(tracks.find("Thing@0/Pos.y")->keys[0].value, 2.0f);
    EXPECT_EQ(tracks.find("Thing@0/Pos.y")->keys[0].interpolation, Interpolation::Linear);
    numbers[2] = 9;
    editor.setKey(tracks, position, variable, 3000);
    edited();
    EXPECT_EQ(keyTimes(tracks, position), (std::vector<uint32_t>{1000, 3000}));
    EXPECT_EQ(tracks.find("Thing@0/Pos.z")->valueAt(2000), 6.0f);

    editor.setInterpolation(tracks, position, 1000, Interpolation::Step);
    edited();
    EXPECT_EQ(interpolationAt(tracks, position, 2500), Interpolation::Step);
    EXPECT_EQ(tracks.find("Thing@0/Pos.z")->valueAt(2000), 3.0f);

    // One drag: the key stops short of the key before it, and the whole drag undoes at once.
    const uint64_t drag = 42;
    EXPECT_EQ(editor.moveKey(tracks, position, 3000, 2000, drag), 2000u);
    EXPECT_EQ(editor.moveKey(tracks, position, 2000, 200, drag), 1001u);
    edited();
    EXPECT_EQ(keyTimes(tracks, position), (std::vector<uint32_t>{1000, 1001}));
    EXPECT_EQ(tracks.find("Thing@0/Pos.z")->keyAt(1001)->value, 9.0f);

    EXPECT_FALSE(editor.deleteKey(tracks, position, 5000));
    EXPECT_TRUE(editor.deleteKey(tracks, position, 1000));
    edited();
    EXPECT_EQ(keyTimes(tracks, position), (std::vector<uint32_t>{1001}));
    editor.markSaved();

    EXPECT_EQ(editor.undoList().size(), states.size() - 1);
    for (size_t state = states.size() - 1; state > 0; --state) {
        ASSERT_TRUE(editor.undo(tracks));
        EXPECT_EQ(writeTracks(tracks), states[state - 1]) << "after undoing edit " << state;
    }
    EXPECT_TRUE(tracks.empty());
    EXPECT_TRUE(editor.unsaved()) << "an undo is an unsaved change";
    EXPECT_FALSE(editor.undo(tracks));
}

TEST(KeyEditor, TheUndoListForgetsItsOldestEditsPastItsCapacity) {
    float number = 0;
    const TweakVariable variable{nullptr, "Size", TweakFloat, &number, ""};
    TrackSet tracks;
    KeyEditor editor;
    for (uint32_t time = 0; time <= KeyUndoList::capacity; ++time)
        editor.setKey(tracks, {"Thing@0/Size"}, variable, time);
    EXPECT_EQ(editor.undoList().size(), KeyUndoList::capacity);
    while (editor.undo(tracks)) {
    }
    EXPECT_EQ(keyTimes(tracks, {"Thing@0/Size"}), (std::vector<uint32_t>{0}));
}

TEST(TrackEditing, ChangesKeyTrackedOrRecordedValuesAndNudgesStayInBounds) {
    TweakRegistry tweaks;
    TweakBar bar{"Thing"};
    int32_t seed = 4;
    bool on = false;
    const int mode = tweaks.defineEnum("Mode", {{3, "A"}, {7, "B"}});
    int modeValue = 7;
    tweaks.addVariable(&bar, "Seed", TweakInt32, &seed, "min=0 max=5");
    tweaks.addVariable(&bar, "On", TweakBool, &on, "");
    tweaks.addVariable(&bar, "Mode", mode, &modeValue, "");
    // A shader's tuned value is driven by a track of its own name, one for each number.
    float offset[2] = {0.5f, 0.95f};
    tweaks.addVariable(&bar, "offset", TweakVec2F, offset, "max=1 step=0.1", "offset");
    EffectList effects;
    effects.push_back(std::make_unique<Entry>(5000, 9000));
    effects.push_back(std::make_unique<Entry>(0, 4000));
    effects[1]->tweakBar = &bar;

    TrackEditing editing;
    TrackSet tracks;
    const auto value = editing.selected(effects, tweaks, 1000);
    ASSERT_TRUE(value) << "the first value of the active entry is selected by default";
    EXPECT_EQ(value->tracks, ValueTracks{"Thing@0/Seed"});
    EXPECT_FALSE(editing.selected(effects, tweaks, 4500)) << "no entry active";

    // An untracked value changes for the run only; recording or a track makes it a key.
    ASSERT_TRUE(editing.nudgeSelected(tracks, effects, tweaks, 1000, 3));
    EXPECT_EQ(seed, 5) << "held at its maximum";
    EXPECT_TRUE(tracks.empty());
    editing.toggleRecording();
    ASSERT_TRUE(editing.nudgeSelected(tracks, effects, tweaks, 1000, -2));
    editing.toggleRecording();
    ASSERT_TRUE(editing.nudgeSelected(tracks, effects, tweaks, 2000, -9));
    EXPECT_EQ(seed, 0) << "held at its minimum";
    const Track* track = tracks.find("Thing@0/Seed");
    ASSERT_TRUE(track);
    ASSERT_EQ(track->keys.size(), 2u);
    EXPECT_EQ(track->keyAt(1000)->value, 3.0f);
    EXPECT_EQ(track->keyAt(2000)->value, 0.0f);

    // Booleans toggle, enumerations go round their names.
    const std::vector<TweakValue> values = tweakValuesOf(*effects[1], tweaks);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_EQ(values[3].tracks, (ValueTracks{"offset.x", "offset.y"}));
    editing.select(values[3]);
    editing.toggleRecording();
    ASSERT_TRUE(editing.nudgeSelected(tracks, effects, tweaks, 1000, 1));
    editing.toggleRecording();
    EXPECT_FLOAT_EQ(tracks.find("offset.x")->keyAt(1000)->value, 0.6f);
    EXPECT_FLOAT_EQ(tracks.find("offset.y")->keyAt(1000)->value, 1.0f) << "held at its maximum";
    editing.select(values[1]);
    editing.nudgeSelected(tracks, effects, tweaks, 1000, 1);
    EXPECT_TRUE(on);
    editing.select(values[2]);
    editing.nudgeSelected(tracks, effects, tweaks, 1000, 1);
    EXPECT_EQ(modeValue, 3);
    editing.nudgeSelected(tracks, effects, tweaks, 1000, -1);
    EXPECT_EQ(modeValue, 7);
    EXPECT_EQ(editing.selected(effects, tweaks, 1000)->tracks, ValueTracks{"Thing@0/Mode"});
}

TEST(TrackEditing, FreeTracksAreSelectedMadeAndKeyedLikeValues) {
    TweakRegistry tweaks;
    TweakBar bar{"Thing"};
    float pos[3] = {1, 2, 3};
    tweaks.addVariable(&bar, "Pos", TweakDir3F, pos, "");
    EffectList effects;
    effects.push_back(std::make_unique<ShaderEntry>(0, 4000, std::vector<std::string>{"glow"}));
    effects.push_back(std::make_unique<Entry>(5000, 9000));
    effects[1]->tweakBar = &bar;
    TrackSet tracks;
    tracks.setKey("glow", {0, 0.5f, Interpolation::Linear});
    tracks.setKey("glow", {2000, 1.5f, Interpolation::Step});
    TrackEditing editing;

    // Without entry values, the track the active shader reads is selected, at its value now.
    const auto glow = editing.selected(effects, tweaks, 1000, &tracks);
    ASSERT_TRUE(glow);
    EXPECT_EQ(glow->effect, nullptr);
    EXPECT_EQ(glow->tracks, ValueTracks{"glow"});
    EXPECT_EQ(tweakComponentValue(*glow->variable, 0), 1.0f);
    EXPECT_FALSE(editing.selected(effects, tweaks, 1000))
        << "not without the tracks to read it from";

    // A change of a free value always keys it: it has no other place to live.
    ASSERT_TRUE(editing.nudgeSelected(tracks, effects, tweaks, 1000, 2));
    EXPECT_FLOAT_EQ(tracks.find("glow")->keyAt(1000)->value, 1.2f);
    EXPECT_EQ(tracks.find("glow")->keyAt(1000)->interpolation, Interpolation::Linear);

    // What a new free track can be made for: the active shaders' uniforms without a track.
    effects.push_back(
        std::make_unique<ShaderEntry>(500, 3000, std::vector<std::string>{"twist", "glow", "hue"}));
    EXPECT_EQ(untrackedUniforms(effects, tracks, 1000), (std::vector<std::string>{"twist", "hue"}));
    EXPECT_TRUE(untrackedUniforms(effects, tracks, 3500).empty()) << "none active";

    // A new free track starts with a key of 0 at the time, selected even where nothing reads it.
    EXPECT_FALSE(editing.addFreeTrack(tracks, "glow", 3000)) << "a track already";
    EXPECT_FALSE(editing.addFreeTrack(tracks, "2glow", 3000));
    EXPECT_FALSE(editing.addFreeTrack(tracks, "Thing@0/Pos.x", 3000)) << "an entry's track";
    ASSERT_TRUE(editing.addFreeTrack(tracks, "twist", 3000));
    ASSERT_EQ(tracks.find("twist")->keys.size(), 1u);
    EXPECT_EQ(tracks.find("twist")->keyAt(3000)->value, 0.0f);
    EXPECT_EQ(editing.selected(effects, tweaks, 6000, &tracks)->tracks, ValueTracks{"twist"});
    EXPECT_EQ(untrackedUniforms(effects, tracks, 1000), std::vector<std::string>{"hue"});
    ASSERT_TRUE(editing.keySelected(tracks, effects, tweaks, 6000));
    EXPECT_EQ(tracks.find("twist")->keys.size(), 2u);
    ASSERT_TRUE(editing.editor().undo(tracks));
    ASSERT_TRUE(editing.editor().undo(tracks));
    EXPECT_FALSE(tracks.find("twist")) << "undone to before it was made";

    // A track of an entry's value selects that value, whichever of its numbers was picked.
    editing.selectTrack("Thing@5000/Pos.y");
    EXPECT_EQ(editing.selected(effects, tweaks, 1000, &tracks)->tracks,
              (ValueTracks{"Thing@5000/Pos.x", "Thing@5000/Pos.y", "Thing@5000/Pos.z"}));
}

TEST(TrackEditing, SavesAtomicallyKnowsItsOwnSaveAndKeepsUnsavedEditsForRecovery) {
    TempDir folder, config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    float number = 0.5f;
    const TweakVariable variable{nullptr, "Size", TweakFloat, &number, ""};
    TrackEditing editing;
    TrackSet tracks;
    const std::string path = folder.file("demo.tracks");
    editing.editor().setKey(tracks, {"size"}, variable, 100);
    EXPECT_EQ(editing.save(tracks, path), "Saved " + path);
    EXPECT_FALSE(editing.editor().unsaved());
    EXPECT_EQ(readTracksFile(path).tracks.find("size")->keys[0].value, 0.5f);
    EXPECT_TRUE(editing.takeOwnSave(path));
    EXPECT_FALSE(editing.takeOwnSave(path)) << "the same text written again is an outside edit";
    editing.save(tracks, path);
    writeTextFile(path, "track size\n100 0.75\n");
    EXPECT_FALSE(editing.takeOwnSave(path));

    EXPECT_NE(editing.save(tracks, folder.file("missing/demo.tracks")).find("Unable to save"),
              std::string::npos);

    editing.keepUnsaved(tracks, path); // nothing unsaved: no recovery file
    EXPECT_FALSE(std::filesystem::exists(config.file("morveldan/recovery")));
    number = 2;
    editing.editor().setKey(tracks, {"size"}, variable, 300);
    testing::internal::CaptureStderr();
    editing.keepUnsaved(tracks, path);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(std::filesystem::exists(config.file("morveldan/recovery")));
    const auto recovery =
        std::filesystem::directory_iterator(config.file("morveldan/recovery"))->path();
    EXPECT_NE(said.find("Unsaved key edits of " + path + " were kept in " + recovery.string()),
              std::string::npos)
        << said;
    EXPECT_EQ(readTracksFile(recovery.string()).tracks.find("size")->keys.size(), 2u);
    EXPECT_FALSE(editing.editor().unsaved());
}

} // namespace

TEST(TrackEditing, StepsOfATenthSaveAsTheDecimalsTheyReach) {
    TweakRegistry tweaks;
    TweakBar bar{"Thing"};
    float size = 0.3f;
    float fine = 0.123f;
    tweaks.addVariable(&bar, "Size", TweakFloat, &size, "");
    tweaks.addVariable(&bar, "Fine", TweakFloat, &fine, "");
    EffectList effects;
    effects.push_back(std::make_unique<Entry>(0, 4000));
    effects[0]->tweakBar = &bar;
    TrackEditing editing;
    TrackSet tracks;
    editing.toggleRecording();
    const std::vector<TweakValue> values = tweakValuesOf(*effects[0], tweaks);
    for (int step = 0; step < 8; ++step)
        editing.nudgeSelected(tracks, effects, tweaks, 1000, -1);
    editing.select(values[1]);
    editing.nudgeSelected(tracks, effects, tweaks, 1000, 1);
    EXPECT_EQ(size, -0.5f);
    EXPECT_EQ(fine, 0.223f) << "a value off the step's grid keeps its own decimals";
    const std::string text = writeTracks(tracks);
    EXPECT_NE(text.find("1000 -0.5 "), std::string::npos) << text;
    EXPECT_NE(text.find("1000 0.223 "), std::string::npos) << text;
}
