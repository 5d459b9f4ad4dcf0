#include "render/Screen.h"

namespace {

Screen current;

} // namespace

const Screen& currentScreen() { return current; }

ScreenScope::ScreenScope(const Screen& screen) : previous_(current) { current = screen; }

ScreenScope::~ScreenScope() { current = previous_; }

void bindScreenFramebuffer() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, current.framebuffer); }
