#pragma once
// The join: segment files rendered anywhere put together into the whole render.

#include "platform/ShowFiles.h"

#include <string>
#include <vector>

// Checks that the segment files make one whole render of the show in the current folder and
// writes it to `output`: their video copied, the music of the span encoded once. Throws
// ShowError naming the segment at fault; nothing is left at `output` then.
void joinSegments(const std::string& output, const std::vector<std::string>& segmentFiles,
                  FileReach reach);
