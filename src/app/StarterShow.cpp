#include "app/StarterShow.h"

#include "app/ShowFolder.h"
#include "effects/EffectFamily.h"
#include "platform/Error.h"
#include "timeline/Show.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const starterShader = "data/shaders/starter.fs";

// One script entry of the starter show, in the order the script lists them. The order keeps the
// drawing state that entries leave behind away from the entries it would spoil: lighting from
// Quelm3D is switched off by QuelmRinge right after it, Spheres' light only reaches models drawn
// after it (none), and ShaderSuite3D, which leaves depth writes off, comes last. What an entry
// draws and the files it reads besides its extra lines come from its family's row.
struct StarterEntry {
    std::string_view keyword;
    int bars;          // how long it is drawn
    bool overPrevious; // starts with the entry before it instead of after it
    std::initializer_list<std::string_view> extraLines;
    std::string_view note = {}; // what the README adds to its family's summary
};

// At 128 beats per minute (the default show's music) a bar lasts 1875 ms.
constexpr int barMilliseconds = 1875;
const StarterEntry starterEntries[] = {
    {"ShaderShow",
     4,
     false,
     {starterShader, "data/misc/blomster.jpg"},
     "the track `glow` brightens it"},
    {"Tunnel", 2, false, {}},
    {"Prikker", 2, false, {}},
    {"Brum", 2, false, {}, "the tracks file moves its background"},
    {"Zoomba", 2, false, {}},
    {"FlashWhite", 1, true, {}, "here over the first bar of Zoomba"},
    {"Rubber3d", 2, false, {}},
    {"Stroboskop", 2, false, {}},
    {"ColorBox", 2, false, {}},
    {"NanoBall", 8, false, {}, "eight bars: it fades out over its last seven seconds"},
    {"Plasma2D", 2, false, {"7"}, "the extra line is its seed"},
    {"AlphaBlendImage",
     2,
     true,
     {"data/bravelund/mansphere/greets.png", "UP"},
     "here upwards over the plasma; extra lines: the image and the mode"},
    {"Video", 2, false, {}},
    {"Circles", 2, false, {}},
    {"WalkCube", 2, false, {}},
    {"BallsBounce", 2, false, {}},
    {"Quelm3D", 2, false, {}},
    {"QuelmRinge", 2, false, {}, "it switches lighting off again"},
    {"ChaosZoomer", 2, false, {}},
    {"TwistBox", 2, false, {}},
    {"PolarCoords", 2, false, {}},
    {"Spheres", 2, false, {}},
    {"Mirror", 2, false, {}},
    {"Manden", 2, false, {}},
    {"ShaderSuite3D",
     4,
     false,
     {},
     "four bars, as it needs them to arrive; it leaves depth writes off, so it comes last"},
    {"EndDemo", 1, false, {}},
};

const EffectFamily& familyOf(const StarterEntry& entry) {
    const EffectFamily* family = findFamily(effectFamilies(), entry.keyword);
    if (!family)
        raise("The starter show names the unknown keyword %.*s", int(entry.keyword.size()),
              entry.keyword.data());
    return *family;
}

// Every file the entry reads: the files among its extra lines, then its family's own.
std::vector<std::string_view> filesOf(const StarterEntry& entry) {
    std::vector<std::string_view> files;
    for (std::string_view line : entry.extraLines)
        if (line.find('/') != std::string_view::npos)
            files.push_back(line);
    const std::vector<std::string_view>& own = familyOf(entry).files;
    files.insert(files.end(), own.begin(), own.end());
    return files;
}

// Files every show reads besides its entries' own.
const std::string_view showFiles[] = {"data/music.ogg", "data/overlay/loader.jpg"};

const char* const shaderText = R"(#version 110
// The starter show's own effect (ShaderShow). The picture waves, brightens on the beat and with
// the track `glow` of data/demo.tracks, and turns about the middle by the track `swirl` (none
// yet: make it in the author mode's Tracks list). gl_TexCoord[0].st runs from (0, 0) at the top
// left of the screen to (1, 1) at the bottom right.

uniform sampler2D picture; // texture unit 0: the entry's image
uniform float time;        // the effect time in seconds
uniform float beat;        // the beat level, 0 to 1
uniform float glow;        // a track: 0 dim, 1 bright
uniform float swirl;       // a track: turns at the middle, none at the edges

void main()
{
    vec2 st = gl_TexCoord[0].st;
    vec2 fromMiddle = st - 0.5;
    float angle = swirl * 6.2831853 * max(0.0, 1.0 - 2.0 * length(fromMiddle));
    st = 0.5 + mat2(cos(angle), sin(angle), -sin(angle), cos(angle)) * fromMiddle;
    st.x += 0.02 * sin(st.y * 12.0 + time * 2.0);
    st.y += 0.02 * sin(st.x * 10.0 + time * 1.5);
    vec3 colour = texture2D(picture, st).rgb;
    gl_FragColor = vec4(colour * (0.5 + 0.7 * glow + 0.3 * beat), 1.0);
}
)";

const char* const tracksText =
    R"(# Values keyed in time (docs/tracks.md): TIME (ms of effect time) VALUE INTERPOLATION.

# The music's tempo: 128 beats a minute, 4 beats a bar, a bar starting at 0 ms. The author mode's
# timeline strip draws its bar and beat lines from it, and moves of entries snap to them.
tempo 128 4 0

# A free name: data/shaders/starter.fs declares `uniform float glow;`
track glow
0 0 smooth
3750 1 linear
7500 0.3

# A tweakable value of an entry: KEYWORD@START/VALUE
track Brum@15000/BGScale.x
15000 1 ramp
18750 3

track Brum@15000/BGScale.y
15000 1 ramp
18750 3
)";

std::string timeText(int milliseconds) { return std::to_string(milliseconds); }

// The script and the README that explains it line by line, made together so the line numbers
// agree.
struct StarterTexts {
    std::string script, readme;
};

StarterTexts starterTexts() {
    StarterTexts texts;
    int line = 0;
    auto scriptLine = [&](std::string_view text) {
        texts.script.append(text).append("\n");
        return ++line;
    };
    scriptLine("# A starter show made by morveldan --new: README.md says what each line does.");
    const int music = scriptLine("data/music.ogg");
    scriptLine("0");
    scriptLine(std::to_string(std::size(starterEntries)));
    texts.readme =
        "# A starter show\n\n"
        "Made by `morveldan --new`. Play it with `morveldan --windowed FOLDER` (or `--author` to "
        "key values in the overlay), check it with `morveldan --check FOLDER`, render it with "
        "`morveldan FOLDER --render show.mp4`. The script is `data/demo.txt`; the manual's "
        "`docs/script.md` describes every keyword, `docs/tracks.md` the tracks file.\n\n"
        "## data/demo.txt, line by line\n\n"
        "| Line | What it does |\n|---|---|\n"
        "| 1 | a comment: a line starting with `#` is skipped |\n";
    texts.readme += formatText("| %d | the music: any file FFmpeg reads; here the default show's, "
                               "128 beats per minute, so a bar lasts 1875 ms |\n",
                               music);
    texts.readme +=
        formatText("| %d | the start offset: whole seconds of music skipped |\n", music + 1);
    texts.readme +=
        formatText("| %d | the number of entries (only moves the loading picture) |\n", music + 2);
    int previousStart = 0, nextStart = 0;
    for (const StarterEntry& entry : starterEntries) {
        const int start = entry.overPrevious ? previousStart : nextStart;
        const int end = start + entry.bars * barMilliseconds;
        previousStart = start;
        nextStart = std::max(nextStart, end);
        const int first = scriptLine(entry.keyword);
        scriptLine(timeText(start));
        scriptLine(timeText(end));
        int last = first + 2;
        for (std::string_view extra : entry.extraLines)
            last = scriptLine(extra);
        std::string reads;
        for (std::string_view file : filesOf(entry))
            reads += (reads.empty() ? "`" : ", `") + std::string(file) + "`";
        std::string what(familyOf(entry).summary);
        if (!entry.note.empty())
            what += " (" + std::string(entry.note) + ")";
        texts.readme += formatText("| %d-%d | `%.*s` from %d to %d ms: %s. Reads %s |\n", first,
                                   last, int(entry.keyword.size()), entry.keyword.data(), start,
                                   end, what.c_str(), reads.empty() ? "nothing" : reads.c_str());
    }
    texts.readme +=
        "\nEach entry is a keyword, its start and end time (milliseconds of the music; drawn "
        "strictly between them), then the keyword's extra lines, if it has any. Entries are "
        "drawn in script order, each over the ones before; some leave drawing state behind for "
        "those after them (`docs/script.md`, \"Drawing state that carries over\").\n\n"
        "## The other files\n\n"
        "- `data/demo.tracks`: the music's tempo (128 beats a minute, the grid the author "
        "mode's timeline strip snaps entries to) and keys in time. `glow` is a free track that "
        "`data/shaders/starter.fs` "
        "reads as `uniform float glow;`; the `Brum@15000/BGScale` tracks zoom Brum's background. "
        "The shader also reads `swirl`, which has no track yet: in the author mode (`--author`) "
        "pick it under Tracks in the Tweaks panel, then key it with Up and Down or the panel's "
        "widgets, and save with F2.\n"
        "- `data/shaders/starter.fs`: the ShaderShow entry's fragment shader (GLSL 1.10); edit it "
        "while the show plays and it reloads.\n"
        "- `data/overlay/loader.jpg`: the picture shown while the show loads.\n"
        "- Everything else under `data/` is read by the entries from fixed paths (listed above): "
        "keep those files where they are while their entries stay in the script.\n";
    return texts;
}

bool holdsAnything(const fs::path& folder) {
    std::error_code error;
    if (!fs::exists(folder, error))
        return false;
    if (!fs::is_directory(folder, error))
        return true;
    return !fs::is_empty(folder, error) || error;
}

std::vector<std::string> filesToCopy() {
    std::vector<std::string> files(std::begin(showFiles), std::end(showFiles));
    for (const StarterEntry& entry : starterEntries)
        for (std::string_view file : filesOf(entry))
            if (file != starterShader && std::find(files.begin(), files.end(), file) == files.end())
                files.emplace_back(file);
    return files;
}

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out)
        raise("Unable to write %s", path.c_str());
}

bool holdsShow(const fs::path& folder) {
    std::error_code error;
    return fs::is_regular_file(folder / showScriptPath, error) &&
           fs::is_regular_file(folder / "data/music.ogg", error);
}

} // namespace

fs::path starterSourceFolder() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (!error && holdsShow(program.parent_path()))
        return program.parent_path();
    return installedShowFolder();
}

void makeStarterShow(const fs::path& folder, const fs::path& source) {
    if (holdsAnything(folder))
        raise("%s exists and is not empty: --new makes a show only in a new or empty folder",
              folder.c_str());
    const std::vector<std::string> files = filesToCopy();
    for (const std::string& file : files) {
        std::error_code error;
        if (!fs::is_regular_file(source / file, error))
            raise("Unable to make a starter show: the default show's file %s is missing",
                  (source / file).c_str());
    }
    try {
        for (const std::string& file : files) {
            fs::create_directories((folder / file).parent_path());
            fs::copy_file(source / file, folder / file);
        }
    } catch (const fs::filesystem_error& error) {
        raise("Unable to make a starter show in %s: %s", folder.c_str(), error.what());
    }
    const StarterTexts texts = starterTexts();
    writeText(folder / showScriptPath, texts.script);
    writeText(folder / "data/demo.tracks", tracksText);
    writeText(folder / starterShader, shaderText);
    writeText(folder / "README.md", texts.readme);
}

int runNewShow(const std::string& folder) {
    try {
        makeStarterShow(folder, starterSourceFolder());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "morveldan: %s\n", error.what());
        return 1;
    }
    std::printf("Made a starter show in %s: play it with 'morveldan --windowed %s', check it with "
                "'morveldan --check %s'; %s/README.md says what each line of its script does.\n",
                folder.c_str(), folder.c_str(), folder.c_str(), folder.c_str());
    return 0;
}
