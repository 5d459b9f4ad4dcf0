#pragma once
// The single shot: one frame of the show drawn off screen and saved as a picture.

#include "offline/RenderRequest.h"

#include <cstdint>
#include <string>

class OffscreenWindow;
class Show;

// Draws the frame at `time` as a render starting there draws its first frame (after the same
// warm-up) and saves it as a PNG picture. Throws ShowError on any failure.
void renderShot(uint32_t time, const RenderRequest& request, Show& show, OffscreenWindow& target,
                const std::string& pictureFile);
