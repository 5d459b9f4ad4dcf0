#version 110
// Polar view of the box field: the picture drawn into the 1024 x 1024 target is wrapped around the
// screen's centre, its columns becoming rays and its rows rings (mirrored, so there is no seam).
//
// The field lands in the target's lower-left corner at the screen's own pixel size, so each pixel
// finds its place in the target from its window position. The screen size comes from the ratio of
// the window position to the quad's texture coordinates unless resolution is set; time only turns
// the picture and may stay 0.

uniform sampler2D field;
uniform float time;
uniform vec2 resolution;

const float targetSide = 1024.0;
const float pi = 3.14159265;

float mirrored(float x)
{
    return abs(fract(x * 0.5) * 2.0 - 1.0);
}

void main()
{
    vec2 screen = vec2(gl_TexCoord[0].s, 1.0 - gl_TexCoord[0].t);
    vec2 size = resolution;
    if (size.x < 1.0 || size.y < 1.0)
        size = gl_FragCoord.xy / max(screen, vec2(0.0001));

    vec2 centred = (screen - 0.5) * vec2(size.x / size.y, 1.0);
    float radius = length(centred);
    float angle = atan(centred.y, centred.x) / pi + time * 0.05;

    vec2 inField = vec2(0.40 + 0.20 * mirrored(angle + 1.0),
                        0.32 + 0.36 * mirrored(radius * 1.4));
    // A screen wider or taller than the target has its picture clipped; stay inside the target.
    vec2 inTarget = min(inField * size, vec2(targetSide - 1.0)) / targetSide;
    vec3 colour = texture2D(field, inTarget).rgb;
    vec3 tint = mix(vec3(1.35, 0.95, 0.55), vec3(0.55, 0.85, 1.45), clamp(radius * 1.6, 0.0, 1.0));
    float glow = smoothstep(0.0, 0.12, radius);
    gl_FragColor = vec4(colour * tint * glow, 1.0);
}
