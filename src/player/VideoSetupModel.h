#pragma once
// The rules of the Video setup dialog, free of any toolkit: the resolution list built from the
// display's modes, the check boxes and how Run or Cancel end the dialog. The toolkit layer only
// shows this state and forwards the viewer's clicks.

#include "player/VideoSettings.h"

#include <cstddef>
#include <span>
#include <string>
#include <vector>

// One display mode as the system lists it.
struct DisplayMode {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
};

struct Resolution {
    int width = 0;
    int height = 0;
};

enum class SetupOutcome {
    Run,      // "Run" pressed (or Enter)
    Cancel,   // "Cancel" pressed, Escape or the close button
    NotShown, // the dialog could not be shown at all
};

class VideoSetupModel {
public:
    static constexpr std::size_t maxResolutions = 4096;
    static constexpr int noSelection = -1;

    // Builds the resolution list from the modes in the system's order and sets the boxes from the
    // record.
    VideoSetupModel(const VideoSettings& settings, std::span<const DisplayMode> modes);

    const std::vector<Resolution>& resolutions() const { return resolutions_; }
    // The list text of entry `index`, "width * height".
    std::string resolutionText(std::size_t index) const;
    int selectedResolution() const { return selected_; }
    // Selects entry `index`; noSelection (or any index outside the list) clears the selection.
    void selectResolution(int index);

    bool fullscreen() const { return fullscreen_; }
    bool alwaysOnTop() const { return alwaysOnTop_; }
    bool alwaysOnTopEnabled() const { return alwaysOnTopEnabled_; }
    bool verticalSync() const { return verticalSync_; }
    bool multisampling() const { return multisampling_; }

    // Ticking Fullscreen clears and disables Always on top; clearing it enables Always on top.
    void setFullscreen(bool ticked);
    // Ignored while the box is disabled.
    void setAlwaysOnTop(bool ticked);
    void setVerticalSync(bool ticked) { verticalSync_ = ticked; }
    void setMultisampling(bool ticked) { multisampling_ = ticked; }

    // Ends the dialog: Run stores the boxes and the selected resolution (width and height stay as
    // they were when nothing is selected); Cancel and NotShown leave the record unchanged. Returns
    // false only for Cancel.
    bool finish(SetupOutcome outcome, VideoSettings& settings) const;

private:
    std::vector<Resolution> resolutions_;
    int selected_ = noSelection;
    bool fullscreen_ = false;
    bool alwaysOnTop_ = false;
    bool alwaysOnTopEnabled_ = true;
    bool verticalSync_ = false;
    bool multisampling_ = false;
};

// True when a mode's pixels have the storage size of the wanted colour depth: 32 bits per pixel
// takes 4 bytes (the system reports such modes as 24 significant bits), 16 takes 2.
bool modeHasDepth(const DisplayMode& mode, int bitsPerPixel);
