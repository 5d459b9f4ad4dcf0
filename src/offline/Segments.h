#pragma once
// Renders in segments: the K-th of N equal frame ranges of a render as a video file of its own
// with a manifest beside it, the join of such files into the whole render, and the local render
// that makes the segments one after another (or a few at a time) in a work folder and can be
// resumed.

#include "offline/RenderPlan.h"
#include "offline/RenderRequest.h"
#include "offline/SegmentManifest.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The line a segment's render prints once it has planned, so that a render in segments learns
// the whole span (where the end-of-show entry ends it) before any segment has finished:
// "segment K/N: frames A to B of a span of S frames".
std::string segmentSpanLine(const RenderPlan& plan, int segment, int segments);
// The span S of such a line in a segment's log, if it holds one.
std::optional<uint64_t> spanInSegmentLog(const std::string& logText);

// The identity of the show in the current folder: a checksum of its script, its music and every
// file in data/ and plugins/ (and any other file a script line names).
struct ShowIdentity {
    std::string show;
    std::string music;
};
ShowIdentity identifyShow();

// "size=WxH fps=F from=A to=B quality=Q preset=P" ("-" for a span end not given).
std::string renderOptionsText(const RenderRequest& request, int width, int height);

// The manifest of a finished segment render.
SegmentManifest manifestOf(const ShowIdentity& identity, const RenderRequest& request, int width,
                           int height, const RenderPlan& plan);

// Checks that the segment files make one whole render of the show in the current folder and
// writes it to `output`: their video copied, the music of the span encoded once. Throws
// ShowError naming the segment at fault; nothing is left at `output` then.
void joinSegments(const std::string& output, const std::vector<std::string>& segmentFiles);

// The render of the request, width x height, in request.localSegments segments, made by this
// program (`program`) as child processes, request.jobs at a time, in the work folder
// "<output>.segments"; segments finished earlier and still matching their manifests are kept.
// Then joined, and the work folder removed.
void renderInSegments(const RenderRequest& request, int width, int height,
                      const std::string& program);
