#pragma once
// One frame of the show drawn offline, on the manual music clock, as the live show draws it; and
// the same frame drawn only for the state it leaves behind (warm-up).

#include <cstdint>

class EntryTimer;
class MusicStream;
class Show;

// How messages name the entry that ends the show.
inline constexpr const char* endOfShowEntry = "End of show";

// One frame drawn the way the live show draws it, with the music at `sample`. Returns false
// (nothing kept) when the end-of-show entry ended the show in this frame. With a timer, the clear
// and every entry are finished and timed. Throws "Render interrupted" when a stop signal has
// arrived.
bool drawOfflineFrame(MusicStream& music, Show& show, uint64_t sample, EntryTimer* timer = nullptr);
// The same for a frame drawn only for the state it leaves behind (warm-up), finished before it
// returns: frames that nobody reads back otherwise pile up in the driver, hundreds of megabytes
// with a software renderer.
bool drawWarmupFrame(MusicStream& music, Show& show, uint64_t sample);
