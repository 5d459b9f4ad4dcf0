#pragma once
// OpenGL 2.0 with the EXT_framebuffer_object entry points (through GLEW) and GLU.
#include <GL/glew.h>
#include <GL/glu.h>

// Loads the OpenGL entry points for the current context; raises "Error: <GLEW's text>\n" when that
// fails and "Opengl 2.0 not supported" without OpenGL 2.0.
void requireOpenGl2();
