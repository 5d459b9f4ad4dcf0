#include "player/VideoSetupModel.h"

#include "platform/Error.h"

bool modeHasDepth(const DisplayMode& mode, int bitsPerPixel) {
    return bitsPerPixel > 0 && mode.bytesPerPixel == (bitsPerPixel + 7) / 8;
}

VideoSetupModel::VideoSetupModel(const VideoSettings& settings,
                                 std::span<const DisplayMode> modes) {
    for (const DisplayMode& mode : modes) {
        if (resolutions_.size() >= maxResolutions)
            break;
        if (!modeHasDepth(mode, settings.bitsPerPixel))
            continue;
        // The same size at another refresh rate usually follows directly; only the last entry
        // is compared.
        if (!resolutions_.empty() && resolutions_.back().width == mode.width &&
            resolutions_.back().height == mode.height)
            continue;
        resolutions_.push_back({mode.width, mode.height});
    }
    for (std::size_t i = 0; i < resolutions_.size(); ++i)
        if (resolutions_[i].width == settings.width && resolutions_[i].height == settings.height)
            selected_ = static_cast<int>(i);

    setFullscreen(!settings.windowed);
    verticalSync_ = settings.verticalSync;
    multisampling_ = settings.multisampling;
    // Always on top is not taken from the record: it starts cleared.
    alwaysOnTop_ = false;
}

std::string VideoSetupModel::resolutionText(std::size_t index) const {
    const Resolution& resolution = resolutions_.at(index);
    return formatText("%d * %d", resolution.width, resolution.height);
}

void VideoSetupModel::selectResolution(int index) {
    const bool inList = index >= 0 && static_cast<std::size_t>(index) < resolutions_.size();
    selected_ = inList ? index : noSelection;
}

void VideoSetupModel::setFullscreen(bool ticked) {
    fullscreen_ = ticked;
    alwaysOnTopEnabled_ = !ticked;
    if (ticked)
        alwaysOnTop_ = false;
}

void VideoSetupModel::setAlwaysOnTop(bool ticked) {
    if (alwaysOnTopEnabled_)
        alwaysOnTop_ = ticked;
}

bool VideoSetupModel::finish(SetupOutcome outcome, VideoSettings& settings) const {
    if (outcome == SetupOutcome::Cancel)
        return false;
    if (outcome == SetupOutcome::NotShown)
        return true;
    if (selected_ != noSelection) {
        settings.width = resolutions_[selected_].width;
        settings.height = resolutions_[selected_].height;
    }
    settings.windowed = !fullscreen_;
    settings.alwaysOnTop = alwaysOnTop_;
    settings.verticalSync = verticalSync_;
    settings.multisampling = multisampling_;
    return true;
}
