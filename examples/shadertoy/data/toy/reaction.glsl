// The reaction as a lit relief of V over the photograph, coloured by the hue track. The buffers
// are drawn in the order the channels name them: the first step (a) on channel 0, then the second
// (b), which the relief is read from, on channel 2.
#iChannel0 "file://reaction-a.glsl"
#iChannel1 "file://../misc/blomster.jpg"
#iChannel2 "file://reaction-b.glsl"
#include "palette.glsl"

void mainImage(out vec4 fragColor, in vec2 fragCoord) {
    vec2 uv = fragCoord / iResolution.xy;
    vec2 texel = 1.0 / iChannelResolution[2].xy;
    float v = texture(iChannel2, uv).y;
    float slopeX = texture(iChannel2, uv + vec2(texel.x, 0.0)).y -
                   texture(iChannel2, uv - vec2(texel.x, 0.0)).y;
    float slopeY = texture(iChannel2, uv + vec2(0.0, texel.y)).y -
                   texture(iChannel2, uv - vec2(0.0, texel.y)).y;
    vec3 normal = normalize(vec3(-6.0 * slopeX, -6.0 * slopeY, 1.0));
    float light = max(dot(normal, normalize(vec3(-0.4, 0.6, 0.8))), 0.0);
    vec3 photo = texture(iChannel1, uv).rgb;
    vec3 ink = palette(v * 0.8 + 0.2);
    vec3 colour = mix(photo * 0.3, ink, smoothstep(0.08, 0.3, v)) * (0.35 + 0.75 * light);
    fragColor = vec4(colour, 1.0);
}
