#pragma once
// The show's music, synthesised from the song's form.

#include <filesystem>
#include <vector>

// The whole song as interleaved stereo samples in [-1, 1] at song::sampleRate.
std::vector<float> renderSong();

// Renders the song and writes it as OGG Vorbis.
void writeMusic(const std::filesystem::path& file);
