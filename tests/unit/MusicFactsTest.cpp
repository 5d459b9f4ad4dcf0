// The music's measurements kept between runs: what one run keeps, the next reads instead of
// decoding and measuring; a file for other music, damaged or of another version is measured anew
// and written again.
#include "timeline/MusicFacts.h"
#include "media/Checksum.h"
#include "timeline/ShowMusic.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// XDG_CACHE_HOME pointing at a folder of the test's own while it lives.
class CacheFolder {
public:
    CacheFolder() {
        if (const char* before = std::getenv("XDG_CACHE_HOME"))
            before_ = before;
        setenv("XDG_CACHE_HOME", folder_.path().c_str(), 1);
    }
    ~CacheFolder() {
        if (before_)
            setenv("XDG_CACHE_HOME", before_->c_str(), 1);
        else
            unsetenv("XDG_CACHE_HOME");
    }
    const fs::path& path() const { return folder_.path(); }

private:
    TempDir folder_;
    std::optional<std::string> before_;
};

TEST(MusicFacts, AreKeptByTheMusicsContentAndMeasuredAgainWhenDamaged) {
    const CacheFolder cache;
    const std::string music = "data/music.ogg";
    const std::string checksum = fileChecksum(music);
    const fs::path file = musicFactsFile(checksum);
    EXPECT_EQ(file, cache.path() / "morveldan" / "music" / (checksum + ".facts"));

    // Facts kept by an earlier run are read, not measured: made-up ones come back as written.
    MusicFacts made;
    made.frames = 1234;
    made.lowBandSums = {0.25f, 1.5f};
    made.tempo = DetectedTempo{99.5, 0.01, 3, true, 0.61, 0.75, true};
    made.peaks = {{-0.5f, 0.5f}, {-1, 1}};
    ASSERT_TRUE(writeMusicFacts(file, checksum, made));
    {
        ShowMusic kept(music, false);
        EXPECT_EQ(kept.facts().frames, 1234u);
        EXPECT_EQ(kept.lowBandSums(), made.lowBandSums);
        ASSERT_TRUE(kept.tempo());
        EXPECT_EQ(kept.tempo()->bpm, 99.5);
        EXPECT_EQ(kept.tempo()->beatsPerBar, 3);
        EXPECT_TRUE(kept.tempo()->compound && kept.tempo()->tempoChanges);
        EXPECT_EQ(kept.tempo()->firstBarSeconds, 0.61);
        EXPECT_EQ(kept.facts().peaks.size(), 2u);
        EXPECT_EQ(kept.error(), "");
    }
    EXPECT_FALSE(readMusicFacts(file, std::string(32, '0'))) << "kept for other music";

    // A byte changed anywhere, the file cut short or grown, another version's header: none.
    const std::string bytes = bytesOf(file);
    std::string otherVersion = bytes;
    otherVersion[otherVersion.find('\n') - 1] = '1';
    for (size_t at : {size_t(40), bytes.size() / 2, bytes.size() - 1}) {
        std::string flipped = bytes;
        flipped[at] ^= 0x10;
        writeBytes(file, flipped);
        EXPECT_FALSE(readMusicFacts(file, checksum)) << "byte " << at;
    }
    for (const std::string& damaged :
         {bytes.substr(0, bytes.size() - 7), bytes + "x", otherVersion, std::string()}) {
        writeBytes(file, damaged);
        EXPECT_FALSE(readMusicFacts(file, checksum)) << damaged.size() << " bytes";
    }

    // Left damaged: the music is measured anew (its true length and tempo) and kept again.
    ShowMusic measured(music, false);
    EXPECT_EQ(measured.facts().frames, measured.samples()->frames());
    ASSERT_TRUE(measured.tempo());
    EXPECT_NEAR(measured.tempo()->bpm, 128, 1.28);
    const std::optional<MusicFacts> rewritten = readMusicFacts(file, checksum);
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(rewritten->frames, measured.facts().frames);
    EXPECT_EQ(rewritten->lowBandSums, measured.lowBandSums());
    EXPECT_EQ(rewritten->tempo->bpm, measured.tempo()->bpm);
}

} // namespace
