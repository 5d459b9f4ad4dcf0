#pragma once
// The video the Video effect plays: a flight over a procedural landscape, MJPEG in AVI.

#include <filesystem>

constexpr int videoWidth = 320;
constexpr int videoHeight = 240;
constexpr int videoFramesPerSecond = 25;
constexpr int videoFrameCount = 250;

void writeVideo(const std::filesystem::path& file);
