#pragma once
// The render: the loaded show drawn frame by frame on the manual music clock off screen, read back
// asynchronously and handed to a frame sink on a thread of its own, with a progress line and a
// summary of where the time went.

#include "offline/RenderPlan.h"
#include "offline/RenderRequest.h"

#include <cstdint>

class FrameSink;
class OffscreenWindow;
class Show;

// Told how a render goes besides its progress line: its plan once made, and the count of frames
// kept after each one.
class RenderObserver {
public:
    virtual ~RenderObserver() = default;
    virtual void planned(const RenderPlan& plan) = 0;
    virtual void kept(uint64_t frames) = 0;
};

// Renders the loaded show (or the segment of it the request names) into the sink; returns its
// plan. Throws ShowError on any failure; the sink is then left unfinished.
RenderPlan renderShow(const RenderRequest& request, Show& show, OffscreenWindow& target,
                      FrameSink& sink, RenderObserver* observer = nullptr);
