#pragma once
// OpenGL 2.0 with the EXT_framebuffer_object entry points (through GLEW) and GLU.
#include <GL/glew.h>
#include <GL/glu.h>
