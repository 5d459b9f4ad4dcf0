#pragma once
// The frames a render that starts later than the show draws before its first kept frame, so that
// it starts from exactly the state a render from the show's start has there.
//
// Everything that crosses frames moves on as in that render: the whole history from the show's
// start is drawn, call for call, most of it with nothing drawn, which keeps every state change
// (matrices, capabilities, colours, lights, bound objects), the shared random sequence, whatever
// effects keep in themselves (positions, counters, a video's place) and the driver's own history
// of the vertices it was given, at a small part of a frame's cost. Only pictures cannot move on
// that way, so some frames are drawn in full: far enough back to cover the lives of the entries at
// the first frame that keep pictures from frame to frame (their render targets, a plug-in's
// unknown ones), and the window's own buffers where the frame clear does not reach them.

#include "effekt/Effekt.h"
#include "offline/RenderPlan.h"
#include "platform/Error.h"

#include <cstdint>
#include <functional>

class MusicStream;
class Show;

// Sets the frames before the plan's first kept frame that must be drawn in full: its warm-up (in
// which the screen is drawn too), and back to the first frame of every entry active at the first
// kept frame that keeps pictures.
void planLeadIn(RenderPlan& plan, const Show& show);

// Raised at the first kept frame when the window's buffers still hold drawing from before the
// frames drawn in full: a render from there needs a warm-up of at least `warmup` milliseconds.
class LeadInTooShort : public ShowError {
public:
    LeadInTooShort(uint32_t warmup, uint32_t since);
    uint32_t warmup() const { return warmup_; }

private:
    uint32_t warmup_;
};

// Draws the plan's history frames, reporting each one done to `progress` (done, total). Returns
// false when the show ended among them. Throws LeadInTooShort (see above) and "Render interrupted".
bool drawLeadIn(const RenderPlan& plan, MusicStream& music, Show& show,
                const std::function<void(uint64_t, uint64_t)>& progress);
