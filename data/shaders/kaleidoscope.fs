#version 110
// A turning kaleidoscope of the picture with eight mirrored sectors, zooming gently; the beat
// pulls the pattern in and brightens it.

uniform sampler2D picture;
uniform float time; // seconds
uniform float beat; // 0 to 1

const float pi = 3.14159265;
const float sectors = 8.0;

void main()
{
    vec2 p = gl_TexCoord[0].st - 0.5;
    float radius = length(p);
    float angle = atan(p.y, p.x) + time * 0.2;
    float sector = 2.0 * pi / sectors;
    angle = abs(mod(angle, sector) - sector * 0.5);

    float zoom = 0.9 + 0.25 * sin(time * 0.4) - 0.15 * beat;
    vec2 uv = vec2(cos(angle), sin(angle)) * radius * zoom;
    uv += vec2(0.5 + 0.15 * sin(time * 0.13), 0.5 + 0.15 * cos(time * 0.11));
    // Mirrored beyond the picture's edges, and kept off the last texels, which wrap around.
    uv = clamp(1.0 - abs(1.0 - mod(uv, 2.0)), 0.004, 0.996);
    vec3 colour = texture2D(picture, uv).rgb;
    float vignette = 1.0 - smoothstep(0.45, 0.75, radius);
    gl_FragColor = vec4(colour * (0.9 + 0.5 * beat) * (0.35 + 0.65 * vignette), 1.0);
}
