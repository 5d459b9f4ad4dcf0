#include "offline/Profile.h"

#include "audio/MusicStream.h"
#include "offline/EntryProfile.h"
#include "offline/LeadIn.h"
#include "offline/OfflineFrame.h"
#include "offline/OffscreenWindow.h"
#include "offline/PlannedMusic.h"
#include "offline/ProgressLine.h"
#include "platform/Error.h"
#include "render/GL.h"
#include "timeline/EntryTimer.h"
#include "timeline/Show.h"
#include "timeline/ShowFrame.h"

#include <cerrno>
#include <cstring>

ProfileFile::ProfileFile(const std::string& path)
    : path_(path), file_(std::fopen(path.c_str(), "wb")) {
    if (!file_)
        raise("Unable to write %s: %s", path.c_str(), std::strerror(errno));
}

ProfileFile::~ProfileFile() { std::fclose(file_); }

void ProfileFile::write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0)
        raise("Unable to write %s: %s", path_.c_str(), std::strerror(errno));
}

void profileShow(const RenderRequest& request, Show& show, const OffscreenWindow& target,
                 ProfileFile* csv) {
    constexpr uint64_t emptyFramesMeasured = 100;
    MusicStream music(show.music().samples(), MusicOutput::Manual);
    RenderPlan plan = planOfRequest(request, music, show.startOffset(), show.endTime());
    planLeadIn(plan, show);

    glClearColor(0, 0, 0, 0);
    ProfileReport report;
    report.keywords = show.keywords();
    report.emptyFrame = measureEmptyFrames(emptyFramesMeasured);
    EntryTimer timer(show.effects().size());
    ProgressLine progress(plan.frameCount);
    uint64_t kept = 0;
    double drawingSeconds = 0;
    bool going = drawLeadIn(
        plan, music, show, [&](uint64_t done, uint64_t total) { progress.warmingUp(done, total); });
    progress.startKeeping();
    for (int64_t index = 0; going && index < int64_t(plan.frameCount); ++index) {
        const auto start = Clock::now();
        going = drawOfflineFrame(music, show, plan.sampleOfFrame(index), &timer);
        if (!going)
            break;
        drawingSeconds += secondsBetween(start, Clock::now());
        progress.kept(++kept);
    }
    progress.end();
    if (kept == 0)
        raise("The show ended (%s) before the first frame to keep", endOfShowEntry);
    report.entries = timer.costs();
    report.clears = timer.clears();
    report.heading = formatText(
        "Profile of %llu frames at %dx%d, %d fps, from effect time %u ms: %.1f frames drawn per "
        "second",
        (unsigned long long)kept, target.width(), target.height(), plan.fps,
        effectTimeAt(double(plan.sampleOfFrame(0)) / musicSampleRate, show.startOffset()),
        drawingSeconds > 0 ? double(kept) / drawingSeconds : 0.0);
    std::fputs(report.table().c_str(), stdout);
    std::fflush(stdout);
    if (csv)
        csv->write(report.csv());
}
