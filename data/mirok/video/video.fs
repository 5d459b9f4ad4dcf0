// Video filters, chosen by idx: 0 warm grade, 1 monochrome, 2 sepia, 3 posterised edges,
// 4 negative, 5 thermal. The beat lifts the brightness.
uniform sampler2D frame;
uniform float time;
uniform float beat;
uniform int idx;

float luma(vec3 c) { return dot(c, vec3(0.299, 0.587, 0.114)); }

vec3 thermal(float v) {
    vec3 cold = vec3(0.0, 0.0, 0.4);
    vec3 mid = vec3(0.9, 0.1, 0.5);
    vec3 hot = vec3(1.0, 0.95, 0.3);
    return v < 0.5 ? mix(cold, mid, v * 2.0) : mix(mid, hot, v * 2.0 - 1.0);
}

void main() {
    vec2 uv = gl_TexCoord[0].st;
    vec3 c = texture2D(frame, uv).rgb;
    float y = luma(c);
    vec3 result;
    if (idx == 1) {
        result = vec3(y);
    } else if (idx == 2) {
        result = vec3(y * 1.07, y * 0.85, y * 0.62);
    } else if (idx == 3) {
        vec2 d = vec2(1.0 / 512.0, 0.0);
        float edge = abs(luma(texture2D(frame, uv + d.xy).rgb) - luma(texture2D(frame, uv - d.xy).rgb)) +
                     abs(luma(texture2D(frame, uv + d.yx).rgb) - luma(texture2D(frame, uv - d.yx).rgb));
        result = floor(c * 4.0) / 4.0 - vec3(edge * 2.0);
    } else if (idx == 4) {
        result = vec3(1.0) - c;
    } else if (idx == 5) {
        result = thermal(clamp(y, 0.0, 1.0));
    } else {
        result = c * vec3(1.08, 1.0, 0.9) + vec3(0.02 * sin(time * 0.7));
    }
    result *= 1.0 + 0.6 * beat;
    gl_FragColor = vec4(clamp(result, 0.0, 1.0), 1.0) * gl_Color;
}
