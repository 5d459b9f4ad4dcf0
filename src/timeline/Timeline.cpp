#include "timeline/Timeline.h"

#include "app/RenderWindow.h"
#include "platform/Debug.h"
#include "platform/Error.h"
#include "render/GLState.h"
#include "render/Texture.h"
#include "timeline/EffectFactory.h"
#include "timeline/ScriptReader.h"

#include <cstdio>
#include <memory>

namespace {

const char* const scriptPath = "data/demo.txt";
const char* const loaderPicturePath = "data/overlay/loader.jpg";

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using ScriptFile = std::unique_ptr<FILE, FileCloser>;

// The picture that rises by 1/total of its travel with every entry loaded.
class LoadingScreen {
public:
    LoadingScreen(RenderWindow& window, int total) : window_(window), total_(total) {
        picture_.load(loaderPicturePath);
    }

    void presentFrame() {
        glClear(GL_COLOR_BUFFER_BIT);
        // A count of 0 (or less) holds the picture at its start.
        const float progress = total_ > 0 ? float(shown_) / float(total_) : 0.0f;
        glColor4f(1, 1, 1, 1);
        MatrixPush push;
        TextureBinding binding(picture_);
        glTranslatef(0, progress - 0.5f, -2);
        Quad(1.0f, 1.2f).draw(1, -1);
        window_.swapAndPoll();
        ++shown_;
    }

private:
    RenderWindow& window_;
    CTextureFreeImage picture_;
    int total_;
    int shown_ = 0;
};

void loadEntries(EffectList& effects, FILE* script, LoadingScreen& loading) {
    while (!scriptAtEnd(script)) {
        const std::string keyword = readScriptLine(script);
        try {
            const int32_t start = readScriptNumber(script);
            const int32_t end = readScriptNumber(script);
            loading.presentFrame();
            if (!isKnownEffect(keyword))
                raise("Unknown entry '%s' in file, please correct", keyword.c_str());
            std::unique_ptr<Effekt> effect = makeEffect(keyword, start, end, script);
            debugLine("Loaded %s with start time %i and end time %i", keyword.c_str(), start, end);
            effects.push_back(std::move(effect));
        } catch (const ScriptEnded&) {
            raise("The entry '%s' is cut short: %s ends before all its lines", keyword.c_str(),
                  scriptPath);
        }
    }
}

} // namespace

void loadTimeline(EffectList& effects, RenderWindow& window, std::string& musicFile,
                  int32_t& startOffset) {
    ScriptFile script(std::fopen(scriptPath, "r"));
    if (!script)
        raise("Unable to load data/demo.txt");
    int entryCount = 0;
    try {
        musicFile = readScriptLine(script.get());
        startOffset = readScriptNumber(script.get());
        entryCount = readScriptNumber(script.get());
    } catch (const ScriptEnded&) {
        raise("%s ends before its three header lines (music file, start offset, entry count)",
              scriptPath);
    }
    LoadingScreen loading(window, entryCount);
    loadEntries(effects, script.get(), loading);
}
