#include "player/VideoSetupDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Sets (or, with no value, removes) an environment variable for the object's lifetime.
class ScopedVariable {
public:
    explicit ScopedVariable(const char* name, const char* value = nullptr) : name_(name) {
        if (const char* old = std::getenv(name))
            saved_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedVariable() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> saved_;
};

} // namespace

TEST(VideoSetupDialog, WithoutADisplayItCountsAsRunAndKeepsTheRecord) {
    const ScopedVariable backend("GDK_BACKEND", "x11");
    const ScopedVariable display("DISPLAY");
    VideoSettings settings;
    settings.width = 800;
    settings.height = 600;
    settings.windowed = true;
    settings.verticalSync = false;
    settings.multisampling = true;
    settings.alwaysOnTop = true;

    EXPECT_TRUE(runVideoSetupDialog(settings));
    EXPECT_EQ(settings.width, 800);
    EXPECT_EQ(settings.height, 600);
    EXPECT_EQ(settings.bitsPerPixel, 32);
    EXPECT_TRUE(settings.windowed);
    EXPECT_FALSE(settings.verticalSync);
    EXPECT_TRUE(settings.multisampling);
    EXPECT_TRUE(settings.alwaysOnTop);
}
