#include "offline/Shot.h"

#include "audio/MusicStream.h"
#include "offline/LeadIn.h"
#include "offline/OfflineFrame.h"
#include "offline/OffscreenWindow.h"
#include "offline/PlannedMusic.h"
#include "offline/RenderPlan.h"
#include "offline/Screenshot.h"
#include "platform/Error.h"
#include "render/GL.h"
#include "timeline/Show.h"

#include <optional>
#include <vector>

void renderShot(uint32_t time, const RenderRequest& request, Show& show, OffscreenWindow& target,
                const std::string& pictureFile) {
    MusicStream music(show.music().samples(), MusicOutput::Manual);
    const uint32_t offset = show.startOffset();
    std::string problem;
    std::optional<RenderPlan> plan = planShot(
        {offset, music.lengthFrames(), time, std::nullopt, request.warmup, request.fps}, problem);
    if (!plan)
        throw ShowError(problem);
    planLeadIn(*plan, show);
    keepPlannedMusic(music, *plan);
    glClearColor(0, 0, 0, 0);
    if (!drawLeadIn(*plan, music, show, [](uint64_t, uint64_t) {}) ||
        !drawOfflineFrame(music, show, plan->sampleOfFrame(0)))
        raise("The show ended (%s) before %u", endOfShowEntry, time);
    std::vector<uint8_t> picture(target.frameBytes());
    target.read(picture.data());
    savePicture(pictureFile, picture.data(), target.width(), target.height(), PixelOrder::Bgra);
}
