#include "app/VideoSetupDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Takes a variable out of the environment for the object's lifetime.
class UnsetVariable {
  public:
    explicit UnsetVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name))
            saved_ = value;
        unsetenv(name);
    }
    ~UnsetVariable() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
    }
    UnsetVariable(const UnsetVariable&) = delete;
    UnsetVariable& operator=(const UnsetVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

} // namespace

TEST(VideoSetupDialog, WithoutADisplayItCountsAsRunAndKeepsTheRecord) {
    const UnsetVariable x11("DISPLAY");
    const UnsetVariable wayland("WAYLAND_DISPLAY");
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
