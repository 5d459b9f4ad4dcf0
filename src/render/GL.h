#pragma once
// OpenGL 2.0 with the EXT_framebuffer_object entry points (through GLEW) and GLU.
#include <GL/glew.h>
#include <GL/glu.h>

// Loads the OpenGL entry points for the current context; raises "Error: <GLEW's text>\n" when that
// fails and "Opengl 2.0 not supported" without OpenGL 2.0.
void requireOpenGl2();

// Raises "This OpenGL draws at most WxH pixels, not WxH" when a window of this size is more than
// the current context can draw: its largest viewport, and its largest renderbuffer and texture,
// which effects make at the window's size.
void requireDrawableSize(int width, int height);
