// Prints what tempo detection finds in an audio file, for tools/tempo-evaluation.sh: BPM, beats a
// bar, compound (0/1), first beat and first bar in ms, confidence, unsure (0/1), and the
// analysis time in ms (decoding not counted). "none" when detection finds nothing.
#include "audio/AudioDecoder.h"
#include "audio/MusicStream.h"
#include "audio/TempoDetection.h"

#include <chrono>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tempoprobe AUDIO_FILE\n");
        return 2;
    }
    try {
        const MusicSamples samples = decodeAudioFile(argv[1], maxMusicFrames, false);
        const auto start = std::chrono::steady_clock::now();
        const std::optional<DetectedTempo> tempo = detectTempo(samples.mono(), musicSampleRate);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (!tempo) {
            std::printf("0 0 0 0 0 0 1 %.0f\n", ms);
            return 0;
        }
        std::printf("%.3f %d %d %.1f %.1f %.3f %d %.0f\n", tempo->bpm, tempo->beatsPerBar,
                    int(tempo->compound), tempo->firstBeatSeconds * 1000,
                    tempo->firstBarSeconds * 1000, tempo->confidence, int(tempo->unsure()), ms);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tempoprobe: %s\n", error.what());
        return 1;
    }
}
