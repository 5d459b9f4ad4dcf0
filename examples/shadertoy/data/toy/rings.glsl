// The music as a ring: the spectrum's lower half around a circle (mirrored left and right, the
// bass at the top), the waveform as a line across the middle, a glow that swells with the beat,
// over a dim photograph.
#iChannel0 "music"
#iChannel1 "file://../misc/blomster.jpg"
#include "palette.glsl"

uniform float beat;

const float TAU = 6.2831853;

float levelAt(float place) {
    // Row 0 of the sound texture: 0 to 11 kHz across its width; the lower half is the busy part.
    return texture(iChannel0, vec2(place * 0.5, 0.25)).x;
}

void mainImage(out vec4 fragColor, in vec2 fragCoord) {
    vec2 uv = (2.0 * fragCoord - iResolution.xy) / iResolution.y;
    float radius = length(uv);
    float turn = atan(uv.x, uv.y) / TAU + 0.5; // 0 at the bottom, round to 1
    float place = 1.0 - abs(turn * 2.0 - 1.0); // 0 at the bottom, 1 at the top
    place = 1.0 - place;                       // the bass at the top
    float level = levelAt(place);
    float edge = 0.3 + 0.5 * level;
    float band = smoothstep(0.015, 0.0, radius - edge) * smoothstep(0.26, 0.3, radius);
    vec3 colour = palette(place * 0.6 + iTime * 0.03) * band * (0.4 + 0.8 * level);

    float wave = texture(iChannel0, vec2(fragCoord.x / iResolution.x, 0.75)).x - 0.5;
    float line = smoothstep(0.012, 0.0, abs(uv.y - wave * 0.8));
    colour += vec3(0.9, 0.95, 1.0) * line;

    colour += palette(0.5) * (0.1 + 0.7 * beat) * exp(-5.0 * radius);
    vec3 photo = texture2D(iChannel1, fragCoord / iResolution.xy).rgb;
    colour += photo * 0.12 * (1.0 - band);
    fragColor = vec4(colour, 1.0);
}
