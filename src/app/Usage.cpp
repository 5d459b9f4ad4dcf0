#include "app/CommandLine.h"

#include "effects/EffectFamily.h"

#include <algorithm>
#include <string>

namespace {

// The keywords of the script, each with what it draws, wrapped to 79 columns.
std::string keywordsText() {
    constexpr size_t width = 79, indent = 19;
    std::string text = "Script keywords (docs/script.md describes each):\n";
    for (const EffectFamily& family : effectFamilies()) {
        std::string line = "  " + std::string(family.keyword);
        line.resize(std::max(line.size() + 1, indent), ' ');
        for (size_t at = 0; at < family.summary.size();) {
            size_t end = family.summary.find(' ', at);
            if (end == std::string_view::npos)
                end = family.summary.size();
            const std::string_view word = family.summary.substr(at, end - at);
            if (line.size() + word.size() > width && line.size() > indent) {
                line.pop_back();
                text += line + "\n";
                line.assign(indent, ' ');
            }
            line.append(word).push_back(' ');
            at = end + 1;
        }
        line.pop_back();
        text += line + "\n";
    }
    return text;
}

const char* const optionsText =
    "Usage: morveldan [OPTION]... [SHOW_FOLDER]\n"
    "Plays the show in SHOW_FOLDER, the folder holding data/demo.txt (the script that\n"
    "names the music, the effects and their files, all relative to that folder).\n"
    "Without SHOW_FOLDER: the current folder when it holds data/demo.txt, else the\n"
    "installed default show. Files that options write are named relative to the\n"
    "current folder.\n"
    "\n"
    "  --no-setup          skip the Video setup dialog\n"
    "  --windowed          play in a window\n"
    "  --fullscreen        play full screen (the default)\n"
    "  --size WxH          window or screen size in pixels (default 1024x768)\n"
    "  --no-message-box    report errors on standard error only\n"
    "  --author            play in a window with the author's overlay shown (F1)\n"
    "  --no-plugins        skip every Plugin entry (native code from the show folder),\n"
    "                      with a warning each (also for --check, --shot and renders)\n"
    "  --allow-outside     let the show read files outside its folder: absolute paths,\n"
    "                      '..' and links that lead out. A show from elsewhere can then\n"
    "                      put any file you can read (a private photo) into its\n"
    "                      pictures and renders, and load native code from anywhere\n"
    "  --load-limit SECONDS  the longest the script's entries may take to load (default\n"
    "                      30): a load that takes longer stops, naming the slowest\n"
    "                      entries (also for --check, --shot and renders)\n"
    "  --frame-limit SECONDS  the longest one frame of a render, shot, profile or\n"
    "                      contact sheet may take (default 20): a frame that takes\n"
    "                      longer ends the run, naming the entries it drew\n"
    "  --shot MS FILE.png  draw the frame at effect time MS (milliseconds) as the show\n"
    "                      draws it, after the warm-up (--warmup, --fps; see below), save\n"
    "                      it as a PNG picture and exit; drawn off screen, without dialog\n"
    "                      or message box, 1024x768 unless --size is given, at most\n"
    "                      3840x2160 either way round\n"
    "\n"
    "Offline rendering (no dialog; the window stays hidden and needs no screen):\n"
    "  --render FILE       render the show to a video file: H.264 and AAC, in MP4 or\n"
    "                      what the file's extension names (.mkv, .mov, ...)\n"
    "  --frames FOLDER     render numbered PNG pictures instead of a video\n"
    "  --contact-sheet FILE.png  one picture with a labelled thumbnail from the middle of\n"
    "                      every script entry, of at most 500 (JPEG when FILE ends in\n"
    "                      .jpg: smaller)\n"
    "  --size WxH          render size, at most 3840x2160 either way round (default\n"
    "                      1280x720; 640x480 for a contact sheet); even sides for video\n"
    "  --fps N             frames per second of show time, 1 to 240 (default 60)\n"
    "  --from MS           effect time of the first frame (default: where the show\n"
    "                      starts, the music at the script's start offset)\n"
    "  --to MS             effect time at which the render ends (default: the music's\n"
    "                      end; the end-of-show entry also ends it)\n"
    "  --warmup MS         a render that starts later than the show draws the show\n"
    "                      before its first frame, so that it starts exactly as the show\n"
    "                      has it there, for its state alone and fast; entries that keep\n"
    "                      pictures, and as much more as the first frame needs, are\n"
    "                      drawn in full, and at least the last MS (default 0; 1000\n"
    "                      before each thumbnail of a contact sheet, which is not exact)\n"
    "  --quality N         H.264 constant rate factor, 0 to 51 (default 20); 0 is\n"
    "                      lossless: RGB pictures decoded exactly as drawn\n"
    "  --preset NAME       H.264 speed preset: ultrafast, superfast, veryfast (default),\n"
    "                      faster, fast, medium, slow, slower or veryslow\n"
    "  --verbose           finish each frame before reading it back, for exact timings\n"
    "  --segment K/N       with --render: only the K-th of N equal parts of the render's\n"
    "                      frames, as a video file without sound whose first frame is a\n"
    "                      key frame, and FILE.manifest beside it (what --join checks)\n"
    "  --join FILE SEGMENT...  join the segment files of one render (all of them, each\n"
    "                      with its manifest) into FILE without encoding the pictures\n"
    "                      again, with the music of the whole render\n"
    "  --segments N        with --render: render in N segments in the folder\n"
    "                      FILE.segments, then join them; run again after a stop, it\n"
    "                      keeps the segments already finished\n"
    "  --jobs J            with --segments: render J segments at a time (default 1)\n"
    "  --profile           draw the frames a render would keep without writing them, and\n"
    "                      print what each script entry costs to draw per frame\n"
    "  --profile-csv FILE  --profile, and write the same figures to FILE as CSV\n"
    "\n"
    "  --check             load the whole show off screen, without sound, and report\n"
    "                      every problem in it, one line each (exit status 1 when\n"
    "                      there is one), then the file of every plug-in it would load\n"
    "                      and what it is (read, not loaded: no plug-in code runs);\n"
    "                      every pass of a ShaderToy entry (a shader written for\n"
    "                      Shadertoy) is compiled, each error as FILE:LINE:COLUMN\n"
    "\n"
    "  --new FOLDER        make a starter show in FOLDER (new or empty) that plays at\n"
    "                      once: one entry of every effect family with the files it\n"
    "                      reads, a shader of its own, a tracks file and a README.md\n"
    "                      that says what each line of its script does\n"
    "\n"
    "  --help              show this text and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Keys: Space pauses, Left and Right seek one second (ten with Shift), PageUp and\n"
    "PageDown jump to the previous and next entry, Home to the start, L loops the\n"
    "entries playing now, F1 shows the author's overlay, Escape ends the show.\n"
    "The show reloads when data/demo.txt or a file it loaded is saved.\n"
    "\n"
    "Exit status: 0 when the show ends or is closed, 1 after an error, 255 for Cancel in\n"
    "the Video setup dialog, 130 after Ctrl+C (SIGINT) and 143 after SIGTERM.\n";

} // namespace

const char* usageText() {
    static const std::string text = std::string(optionsText) + "\n" + keywordsText();
    return text.c_str();
}
