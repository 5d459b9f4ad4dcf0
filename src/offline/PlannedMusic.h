#pragma once
// A render's plan laid on the show's music: the plan of a request, the music its frames read, and
// the music of its kept frames that goes into the video.

#include "audio/MusicSamples.h"
#include "offline/RenderPlan.h"
#include "offline/RenderRequest.h"

#include <cstdint>
#include <optional>

class MusicStream;

// The plan of the request's frames on the music (see planRender), with a note on standard error
// when --to lies past the music's end, and a segment's span line. Throws ShowError with the
// reason when there is nothing sensible to render.
RenderPlan planOfRequest(const RenderRequest& request, const MusicStream& music, uint32_t offset,
                         std::optional<uint32_t> showEnd);

// Gives back the music that no frame of the plan reads.
void keepPlannedMusic(MusicStream& music, const RenderPlan& plan);

// The music of a whole render's frames, as far as the music goes (the encoder adds silence
// after it).
MusicStretch musicOfSpan(const MusicStream& music, const RenderPlan& plan);
