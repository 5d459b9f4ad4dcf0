#pragma once
// A render in segments on this machine: the segments rendered by child processes of this program
// in a work folder, a few at a time, then joined; an interrupted one resumes where it stopped.

#include "offline/RenderRequest.h"

#include <string>

// The render of the request, width x height, in request.localSegments segments, made by this
// program (`program`) as child processes, request.jobs at a time, in the work folder
// "<output>.segments"; segments finished earlier and still matching their manifests are kept.
// Then joined, and the work folder removed.
void renderInSegments(const RenderRequest& request, int width, int height,
                      const std::string& program);
