// The first of the two steps a frame: from the second buffer's last frame. Loud bass drops a
// new disc of V on a path that wanders with the time.
#iChannel0 "file://reaction-b.glsl"
#iChannel0::WrapMode "Repeat"
#iChannel0::MinFilter "Nearest"
#iChannel0::MagFilter "Nearest"
#iChannel1 "music"
#include "reaction-step.glsl"

void mainImage(out vec4 fragColor, in vec2 fragCoord) {
    if (iFrame == 0) {
        fragColor = seeded(fragCoord);
        return;
    }
    fragColor = reactionStep(iChannel0, fragCoord);
    float bass = texture(iChannel1, vec2(2.5 / 512.0, 0.25)).x;
    vec2 drop = iResolution.xy * (0.5 + 0.38 * vec2(cos(iTime * 1.3), sin(iTime * 1.9)));
    if (bass > 0.85 && distance(fragCoord, drop) < 6.0)
        fragColor.y = 1.0;
}
