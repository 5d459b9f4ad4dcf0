// Entry edits of the timeline strip: the script keeps every byte an edit did not touch (the
// default script, a CR-LF script with a byte-order mark and comments), an entry's tracks move
// with it, and key and entry edits undo in one order.
#include "author/EntryEditing.h"
#include "TestFiles.h"
#include "TestShow.h"
#include "timeline/Show.h"
#include "timeline/ShowTempo.h"

#include <gtest/gtest.h>

namespace {

class Entry : public Effekt {
public:
    using Effekt::Effekt;
    void draw(uint32_t, float) override {}
};

// A show read from script bytes into plain effects, with its entry editing.
struct EditedShow {
    explicit EditedShow(const std::string& bytes)
        : families(plainFamilies()), editing(keys, [this] { ++changes; }) {
        ShowOptions options;
        options.rules.families = families;
        options.check = &check; // goes on past the Plugin entry's own lines
        show = readShow(bytes, options);
        editing.load(*show);
    }
    size_t indexOf(const std::string& keyword) const {
        const std::vector<std::string> names = keywords();
        return size_t(std::find(names.begin(), names.end(), keyword) - names.begin());
    }
    EffectList& effects() { return show->effects(); }
    std::vector<std::string> keywords() const { return show->keywords(); }
    TrackSet& tracks() { return show->tracks().tracks(); }

    std::vector<EffectFamily> families;
    ShowCheck check;
    KeyEditor keys;
    int changes = 0;
    std::unique_ptr<Show> show;
    EntryEditing editing;
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

const ShowTempo tempo128{128, 4, 0, "test"};

// A move, a copy and a delete each change only their lines, and undo brings back every byte.
void expectEditsKeepBytes(const std::string& original, const std::string& keyword,
                          const std::string& entryLines, const std::string& movedLines,
                          const std::string& copyLines, const std::string& countLine,
                          const std::string& countAfterCopy) {
    EditedShow show(original);
    const size_t entry = show.indexOf(keyword);
    ASSERT_LT(entry, show.effects().size());
    show.editing.select(entry);
    ASSERT_TRUE(show.editing.moveSelected(1, &tempo128));
    const std::string moved = replaced(original, entryLines, movedLines);
    EXPECT_EQ(show.editing.script().bytes(), moved);

    ASSERT_TRUE(show.editing.duplicateSelected());
    const std::string copied =
        replaced(replaced(moved, movedLines, movedLines + copyLines), countLine, countAfterCopy);
    EXPECT_EQ(show.editing.script().bytes(), copied);
    EXPECT_EQ(show.effects().size(), show.keywords().size());
    EXPECT_EQ(show.editing.selected(), entry + 1);

    ASSERT_TRUE(show.editing.deleteSelected()); // the copy again
    EXPECT_EQ(show.editing.script().bytes(), moved);

    EXPECT_TRUE(show.keys.undo(show.tracks())); // the delete
    EXPECT_EQ(show.editing.script().bytes(), copied);
    EXPECT_TRUE(show.keys.undo(show.tracks())); // the copy
    EXPECT_EQ(show.editing.script().bytes(), moved);
    EXPECT_TRUE(show.keys.undo(show.tracks())); // the move
    EXPECT_EQ(show.editing.script().bytes(), original);
    EXPECT_FALSE(show.keys.undo(show.tracks()));
}

TEST(EntryEditing, EditsOfTheDefaultScriptChangeOnlyTheirLines) {
    const std::string original = readFileBytes(MORVELDAN_SOURCE_DIR "/data/demo.txt");
    ASSERT_FALSE(original.empty());
    // Prikker, 15000 to 22500, one beat (468.75 ms) later; its copy follows it.
    expectEditsKeepBytes(original, "Prikker", "Prikker\n15000\n22500\n", "Prikker\n15469\n22969\n",
                         "Prikker\n22969\n30469\n", "\n35\n", "\n36\n");
}

TEST(EntryEditing, EditsOfACrLfScriptWithAByteOrderMarkKeepItsBytes) {
    const std::string original = "\xEF\xBB\xBF# a show\r\n"
                                 "data/music.ogg\r\n0\r\n  2 \r\n"
                                 "\r\n# first, with its extra lines\r\n"
                                 "ShaderShow\r\n 1000\t\r\n# between its times\r\n"
                                 "3000\r\ndata/a.fs\r\ndata/b.jpg\r\n"
                                 "Tunnel\r\n3000\r\n-1"; // no line end at the file's end
    const std::string extra = "data/a.fs\r\ndata/b.jpg\r\n";
    expectEditsKeepBytes(
        original, "ShaderShow", "ShaderShow\r\n 1000\t\r\n# between its times\r\n3000\r\n" + extra,
        "ShaderShow\r\n 1469\t\r\n# between its times\r\n3469\r\n" + extra,
        "ShaderShow\r\n 3469\t\r\n# between its times\r\n5469\r\n" + extra, "  2 \r\n", "  3 \r\n");

    // The last entry, copied and deleted: the file's end stays as it was.
    EditedShow show(original);
    show.editing.select(show.indexOf("Tunnel"));
    ASSERT_TRUE(show.editing.duplicateSelected());
    EXPECT_EQ(show.editing.script().bytes(),
              replaced(replaced(original, "-1", "-1\r\nTunnel\r\n3000\r\n-1"), "  2 ", "  3 "));
    ASSERT_TRUE(show.editing.deleteSelected());
    EXPECT_EQ(show.editing.script().bytes(),
              replaced(replaced(original, "-1", "-1\r\n"), "  2 ", "  2 "));
}

TEST(EntryEditing, KeyAndEntryEditsUndoInOneOrderAndTracksMoveWithTheirEntry) {
    EditedShow show("m.ogg\n0\n2\nTunnel\n1000\n2000\nPrikker\n0\n500\n");
    const ValueTracks value = {"Tunnel@1000/Pos.x"};
    show.tracks().setKey(value[0], {1000, 1, Interpolation::Linear});
    show.tracks().setKey(value[0], {1500, 2, Interpolation::Step});
    show.tracks().setKey("glow", {0, 5, Interpolation::Step});

    show.keys.deleteKey(show.tracks(), value, 1500); // a key edit
    show.editing.select(0);
    const uint64_t drag = 7;
    ASSERT_TRUE(show.editing.setTimes(0, 1200, 2200, drag)); // a drag of the entry: one edit
    ASSERT_TRUE(show.editing.setTimes(0, 1400, 2400, drag));
    EXPECT_EQ(show.tracks().find("Tunnel@1000/Pos.x"), nullptr);
    EXPECT_EQ(show.tracks().find("Tunnel@1200/Pos.x"), nullptr);
    const Track* moved = show.tracks().find("Tunnel@1400/Pos.x");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->keys.front().time, 1400u);
    EXPECT_EQ(show.effects()[0]->startTime, 1400u);
    EXPECT_EQ(show.effects()[0]->endTime, 2400u);
    EXPECT_TRUE(show.keys.unsaved());
    EXPECT_TRUE(show.editing.unsaved());
    float position = 3;
    show.keys.setKey(show.tracks(), {"Tunnel@1400/Pos.x"},
                     {nullptr, "Pos", TweakFloat, &position, ""}, 1900); // after the move

    ASSERT_TRUE(show.keys.undo(show.tracks())); // the key set last
    EXPECT_EQ(show.tracks().find("Tunnel@1400/Pos.x")->keys.size(), 1u);
    ASSERT_TRUE(show.keys.undo(show.tracks())); // the whole drag
    EXPECT_EQ(show.effects()[0]->startTime, 1000u);
    EXPECT_EQ(show.effects()[0]->endTime, 2000u);
    EXPECT_EQ(show.tracks().find("Tunnel@1400/Pos.x"), nullptr);
    ASSERT_NE(show.tracks().find(value[0]), nullptr);
    EXPECT_EQ(show.tracks().find(value[0])->keys.size(), 1u); // as the key edit left it
    EXPECT_EQ(show.editing.script().bytes(), "m.ogg\n0\n2\nTunnel\n1000\n2000\nPrikker\n0\n500\n");
    ASSERT_TRUE(show.keys.undo(show.tracks())); // the key deleted first
    EXPECT_EQ(show.tracks().find(value[0])->keys.size(), 2u);
    EXPECT_FALSE(show.keys.undo(show.tracks()));
    EXPECT_NE(show.tracks().find("glow"), nullptr); // never touched
    EXPECT_GT(show.changes, 0);
}

TEST(EntryEditing, GridSnapsAndSteps) {
    const ShowTempo tempo{120, 3, 100, "test"}; // a beat 500 ms, a bar 1500 ms, from 100 ms
    EXPECT_EQ(snappedTime(1340, Snap::Beat, &tempo), 1100u);
    EXPECT_EQ(snappedTime(1360, Snap::Beat, &tempo), 1600u);
    EXPECT_EQ(snappedTime(2000, Snap::Bar, &tempo), 1600u);
    EXPECT_EQ(snappedTime(40, Snap::Bar, &tempo), 100u);
    EXPECT_EQ(snappedTime(1340, Snap::Off, &tempo), 1340u);
    EXPECT_EQ(snappedTime(1340, Snap::Beat, nullptr), 1340u);
    EXPECT_EQ(gridStep(Snap::Bar, &tempo), 1500);
    EXPECT_EQ(gridStep(Snap::Off, &tempo), 100);

    EditedShow show("m.ogg\n0\n1\nTunnel\n200\n-1\n");
    show.editing.select(0);
    EXPECT_FALSE(show.editing.moveSelected(-1, &tempo)); // not before 0
    ASSERT_TRUE(show.editing.moveSelected(2, &tempo));
    EXPECT_EQ(show.effects()[0]->startTime, 1200u);
    EXPECT_EQ(show.effects()[0]->endTime, UINT32_MAX); // it still never ends
    EXPECT_EQ(show.editing.script().bytes(), "m.ogg\n0\n1\nTunnel\n1200\n-1\n");
    EXPECT_FALSE(show.editing.setTimes(0, 1200, 1200));
}

} // namespace
