#version 110
// Ripples running over the picture from two drifting centres; the beat deepens them and splits
// the colours a little.

uniform sampler2D picture;
uniform float time; // seconds
uniform float beat; // 0 to 1

vec2 rippleFrom(vec2 uv, vec2 centre, float speed)
{
    vec2 away = uv - centre;
    float distanceToCentre = max(length(away), 0.001);
    float wave = sin(distanceToCentre * 38.0 - time * speed) / (1.0 + distanceToCentre * 12.0);
    return away / distanceToCentre * wave;
}

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec2 first = vec2(0.5 + 0.3 * sin(time * 0.31), 0.5 + 0.25 * cos(time * 0.23));
    vec2 second = vec2(0.5 + 0.3 * cos(time * 0.17), 0.5 + 0.25 * sin(time * 0.29));
    vec2 offset = (rippleFrom(uv, first, 4.0) + rippleFrom(uv, second, 5.0)) * (0.02 + 0.03 * beat);
    vec2 split = offset * (1.0 + 1.5 * beat);
    float red = texture2D(picture, uv + offset + split).r;
    float green = texture2D(picture, uv + offset).g;
    float blue = texture2D(picture, uv + offset - split).b;
    float light = 1.0 + length(offset) * 12.0;
    gl_FragColor = vec4(vec3(red, green, blue) * light, 1.0);
}
