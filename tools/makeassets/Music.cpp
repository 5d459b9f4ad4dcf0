#include "Music.h"

#include "SongLayout.h"
#include "Synth.h"
#include "audio/AudioEncoder.h"

#include <algorithm>
#include <cmath>

namespace {

using song::Part;

// A minor: Am, F, C, G, two bars each. Notes in semitones from A4.
struct Chord {
    int root;               // bass note
    std::vector<int> tones; // pad voicing
    std::vector<int> arpeggio;
};
const Chord progression[4] = {
    {-36, {-12, -9, -5}, {0, 3, 7, 12}},   // Am
    {-40, {-16, -12, -9}, {-4, 0, 3, 8}},  // F
    {-33, {-9, -5, -2}, {3, 7, 10, 15}},   // C
    {-38, {-14, -10, -7}, {-2, 2, 5, 10}}, // G
};
const Chord& chordAt(int bar) { return progression[(bar / 2) % 4]; }

// The lead melody: eight bars of eighth notes (semitones from A4; rest = none).
constexpr int rest = -99;
const int melody[8][8] = {
    {0, rest, 3, rest, 7, 5, 3, 0},      {12, rest, 10, 7, rest, 5, 7, rest},
    {8, rest, 7, 5, rest, 3, 5, rest},   {0, 3, 5, 8, rest, 7, 5, 3},
    {7, rest, 3, rest, 7, 10, 12, rest}, {15, rest, 14, 12, rest, 10, 7, rest},
    {10, rest, 7, 2, rest, 5, 7, rest},  {10, 12, 14, rest, 12, rest, 11, rest},
};

struct Voices {
    StereoBuffer drums, bass, music, lead;
    explicit Voices(double seconds)
        : drums(song::sampleRate, seconds), bass(song::sampleRate, seconds),
          music(song::sampleRate, seconds), lead(song::sampleRate, seconds) {}
};

constexpr double beat = song::secondsPerBeat;
constexpr double eighth = beat / 2;
constexpr double sixteenth = beat / 4;

void playPads(Voices& v, int bar, double at, float gain, float brightness) {
    if (bar % 2 != 0)
        return;
    std::vector<float> frequencies;
    for (int tone : chordAt(bar).tones)
        frequencies.push_back(synth::noteFrequency(tone));
    synth::pad(v.music, at, song::secondsPerBar * 2, frequencies, gain, brightness);
}

void playArpeggio(Voices& v, int bar, double at, float gain) {
    const std::vector<int>& notes = chordAt(bar).arpeggio;
    for (int i = 0; i < 8; ++i)
        synth::pluck(v.music, at + i * eighth, synth::noteFrequency(notes[i % 4] + 12), gain,
                     i % 2 ? 0.4f : -0.4f);
}

void playMelody(Voices& v, int bar, double at, float gain) {
    const int* notes = melody[bar % 8];
    for (int i = 0; i < 8; ++i) {
        if (notes[i] == rest)
            continue;
        int length = 1;
        while (i + length < 8 && notes[i + length] == rest)
            ++length;
        synth::lead(v.lead, at + i * eighth, length * eighth * 0.9,
                    synth::noteFrequency(notes[i] + 12), gain, 0.0f);
    }
}

void playKicks(Voices& v, double at, float gain) {
    for (int b = 0; b < song::beatsPerBar; ++b)
        synth::kick(v.drums, at + b * beat, gain);
}

// Bass on the off-beats, between the kicks.
void playOffbeatBass(Voices& v, int bar, double at, float gain) {
    float frequency = synth::noteFrequency(chordAt(bar).root);
    for (int b = 0; b < song::beatsPerBar; ++b)
        synth::bass(v.bass, at + b * beat + eighth, eighth * 0.85, frequency, gain);
}

void playHats(Voices& v, int bar, double at, float offbeatGain, float ghostGain) {
    for (int s = 0; s < 16; ++s) {
        bool offbeat = s % 4 == 2;
        float gain = offbeat ? offbeatGain : ghostGain;
        if (gain > 0)
            synth::hat(v.drums, at + s * sixteenth, offbeat, gain, s % 2 ? 0.3f : -0.2f,
                       uint32_t(bar * 16 + s));
    }
}

void playSection(Voices& v, const song::Section& section) {
    for (int k = 0; k < section.barCount; ++k) {
        const int bar = section.firstBar + k;
        const double at = song::barSeconds(bar);
        const float progress = float(k) / section.barCount;
        switch (section.part) {
        case Part::Intro:
            playPads(v, bar, at, 0.12f + 0.1f * progress, 0.2f + 0.3f * progress);
            playArpeggio(v, bar, at, 0.1f + 0.1f * progress);
            if (k >= section.barCount / 2)
                playHats(v, bar, at, 0.04f, 0.0f);
            break;
        case Part::Build:
            if (k == 0)
                synth::crash(v.drums, at, 0.25f, uint32_t(bar));
            playPads(v, bar, at, 0.07f, 0.3f + 0.5f * progress);
            playKicks(v, at, 0.85f);
            playOffbeatBass(v, bar, at, 0.22f);
            playHats(v, bar, at, 0.07f, 0.02f + 0.05f * progress);
            playArpeggio(v, bar, at, 0.08f);
            if (k >= section.barCount - 4) { // a snare roll that doubles its speed
                const int perBar = k >= section.barCount - 2 ? 16 : 8;
                for (int s = 0; s < perBar; ++s)
                    synth::clap(v.drums, at + s * song::secondsPerBar / perBar,
                                0.12f + 0.2f * progress, uint32_t(bar * 31 + s));
            }
            if (k == section.barCount - 4)
                synth::riser(v.music, at, 4 * song::secondsPerBar, 0.35f, uint32_t(bar));
            break;
        case Part::Drop:
            if (k % 8 == 0)
                synth::crash(v.drums, at, 0.3f, uint32_t(bar));
            playPads(v, bar, at, 0.06f, 0.7f);
            playKicks(v, at, 0.9f);
            playOffbeatBass(v, bar, at, 0.25f);
            playHats(v, bar, at, 0.1f, 0.04f);
            synth::clap(v.drums, at + beat, 0.3f, uint32_t(bar * 7));
            synth::clap(v.drums, at + 3 * beat, 0.3f, uint32_t(bar * 7 + 1));
            playMelody(v, bar, at, 0.11f);
            break;
        case Part::Break:
            playPads(v, bar, at, 0.22f, 0.25f + 0.2f * progress);
            if (k >= section.barCount / 2)
                playMelody(v, bar, at, 0.12f);
            else
                playArpeggio(v, bar, at, 0.14f);
            break;
        case Part::Outro:
            playPads(v, bar, at, 0.2f * (1 - progress), 0.3f);
            playArpeggio(v, bar, at, 0.15f * (1 - progress));
            break;
        }
    }
}

} // namespace

std::vector<float> renderSong() {
    const double seconds = song::barSeconds(song::totalBars);
    Voices v(seconds);
    for (const song::Section& section : song::sections)
        playSection(v, section);
    synth::echo(v.lead, beat * 0.75, 0.35f, 0.4f);
    synth::echo(v.music, beat * 1.5, 0.25f, 0.2f);

    StereoBuffer mix(song::sampleRate, seconds);
    mix.mixIn(v.drums, 1.0f);
    mix.mixIn(v.bass, 1.0f);
    mix.mixIn(v.music, 1.0f);
    mix.mixIn(v.lead, 1.0f);
    std::vector<float>& samples = mix.samples();
    // Soft saturation keeps every peak inside full scale; the last two seconds fade to silence.
    const size_t fadeFrames = size_t(2.0 * song::sampleRate);
    const size_t frames = mix.frames();
    for (size_t frame = 0; frame < frames; ++frame) {
        float fade = frame + fadeFrames > frames ? float(frames - frame) / fadeFrames : 1.0f;
        for (int side = 0; side < 2; ++side) {
            float& s = samples[frame * 2 + side];
            s = std::tanh(s * 0.9f) * 0.95f * fade;
        }
    }
    return std::move(samples);
}

void writeMusic(const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    writeOggVorbis(file.string(), renderSong(), song::sampleRate);
}
