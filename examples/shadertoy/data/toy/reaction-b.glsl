// The second step of the frame, from the first buffer as it was just drawn.
#iChannel0 "file://reaction-a.glsl"
#iChannel0::WrapMode "Repeat"
#iChannel0::MinFilter "Nearest"
#iChannel0::MagFilter "Nearest"
#include "reaction-step.glsl"

void mainImage(out vec4 fragColor, in vec2 fragCoord) {
    fragColor = reactionStep(iChannel0, fragCoord);
}
