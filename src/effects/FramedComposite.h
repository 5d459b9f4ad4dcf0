#pragma once
// The last step of the feedback effects: the composite target drawn through a screen program,
// with a picture laid over it, weighted by its brightness, at 1.25 times the layer's size.

#include "render/Shader.h"
#include "render/Texture.h"

namespace Effekter {

// The program gets "beat" and then "time" (as given, e.g. milliseconds) at the two locations.
void showFramedComposite(GLuint compositeTexture, const FragmentProgram& screenProgram,
                         GLint beatLocation, GLint timeLocation, float beat, float time,
                         const CTexture& overlay);

} // namespace Effekter
