#pragma once
// What names a render in segments: the show in the current folder (its files' checksums) and the
// options that shape its pictures, as a segment's manifest records them.

#include "farm/SegmentManifest.h"
#include "offline/RenderPlan.h"
#include "offline/RenderRequest.h"

#include <cstdint>
#include <string>

// The identity of the show in the current folder: a checksum of its script, its music and every
// file in data/ and plugins/ (and any other file a script line names).
struct ShowIdentity {
    std::string show;
    std::string music;
};
// Files the show may not read are left out of it.
ShowIdentity identifyShow(FileReach reach);

// "size=WxH fps=F from=A to=B quality=Q preset=P" ("-" for a span end not given).
std::string renderOptionsText(const RenderRequest& request, int width, int height);

// The manifest of a finished segment render.
SegmentManifest manifestOf(const ShowIdentity& identity, const RenderRequest& request, int width,
                           int height, const RenderPlan& plan);
