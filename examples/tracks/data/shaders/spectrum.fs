#version 110
// The music's spectrum as rings around the middle: the distance from the middle picks a frequency
// band (low in the middle), its strength lights the ring. The picture shows through, turned by
// the track `twist`; the track `glow` brightens everything.

uniform sampler2D picture;  // texture unit 0
uniform sampler2D spectrum; // 1024 x 1: the spectrum at the frame's time
uniform vec2 resolution;    // pixels
uniform float time;         // seconds
uniform float beat;         // 0 to 1
uniform float glow;         // track: 0 dark to 1 bright
uniform float twist;        // track: turns of the picture

const float pi = 3.14159265;

void main()
{
    vec2 p = (gl_FragCoord.xy - 0.5 * resolution) / resolution.y;
    float radius = length(p);
    // The lowest 128 bins (up to 2.7 kHz) hold nearly all of the music; squaring the distance
    // gives the low ones, the strongest, the most room.
    float band = clamp(radius / 0.6, 0.0, 1.0);
    float bin = floor(band * band * 127.0);
    float level = texture2D(spectrum, vec2((bin + 0.5) / 1024.0, 0.5)).r;
    float ring = smoothstep(0.0, 0.2, level * (2.0 + 20.0 * band)) * step(radius, 0.6);

    float angle = twist * 2.0 * pi;
    vec2 turned = mat2(cos(angle), sin(angle), -sin(angle), cos(angle)) * p;
    vec3 picture = texture2D(picture, turned * 0.8 + 0.5).rgb;

    vec3 colour = mix(picture * 0.35, vec3(0.2 + radius, 0.6, 1.0 - radius), ring);
    gl_FragColor = vec4(colour * (0.4 + glow * (0.8 + 0.4 * beat)), 1.0);
}
