#version 110
// A broken broadcast: rows of the picture jump sideways in blocks that change several times a
// second, the colour channels drift apart and scanlines roll over it; the beat shakes it harder.

uniform sampler2D picture;
uniform float time; // seconds
uniform float beat; // 0 to 1

float noise(float x)
{
    return fract(sin(x * 127.1) * 43758.5453);
}

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    float tick = floor(time * 8.0);
    float band = floor(uv.y * 24.0);
    float chance = noise(band + tick * 13.0);
    float jump = step(0.82 - 0.35 * beat, chance) * (noise(band * 3.7 + tick) - 0.5);
    float shift = jump * (0.08 + 0.25 * beat);

    float drift = 0.004 + 0.02 * beat;
    vec2 at = vec2(uv.x + shift, uv.y);
    float red = texture2D(picture, at + vec2(drift, 0.0)).r;
    float green = texture2D(picture, at).g;
    float blue = texture2D(picture, at - vec2(drift, 0.0)).b;

    float scan = 0.88 + 0.12 * sin((uv.y + time * 0.05) * 900.0);
    float roll = 0.9 + 0.1 * sin(uv.y * 6.0 - time * 3.0);
    gl_FragColor = vec4(vec3(red, green, blue) * scan * roll * (1.0 + 0.4 * beat), 1.0);
}
