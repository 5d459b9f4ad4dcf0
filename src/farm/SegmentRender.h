#pragma once
// One segment of a render (--segment K/N): rendered like the whole render's frames there, with
// its manifest written beside it, and its progress written to the file that a render in segments
// names in the environment (progressFileVariable).

#include "offline/RenderPlan.h"
#include "offline/RenderRequest.h"

class FrameSink;
class OffscreenWindow;
class Show;

// As renderShow for the request's segment, into the sink, and then its manifest.
RenderPlan renderSegment(const RenderRequest& request, Show& show, OffscreenWindow& target,
                         FrameSink& sink);
