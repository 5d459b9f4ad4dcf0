#version 110
// Shows the sphere scene with a soft bloom of its bright parts, a cool tint in the shadows, a warm
// one in the lights, and a vignette.

uniform sampler2D scene;

vec3 sceneAt(vec2 uv)
{
    return texture2D(scene, uv).rgb;
}

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 c = sceneAt(uv);

    // Bright parts of the neighbourhood spill over: eight taps on a small ring.
    vec3 glow = vec3(0.0);
    for (int k = 0; k < 8; ++k) {
        float angle = float(k) * 0.7853982;
        vec2 offset = vec2(cos(angle), sin(angle)) * 0.006;
        vec3 tap = sceneAt(uv + offset);
        glow += max(tap - vec3(0.55), vec3(0.0));
    }
    c += glow * 0.25;

    float luma = dot(c, vec3(0.299, 0.587, 0.114));
    vec3 graded = mix(c * vec3(0.80, 0.90, 1.15), c * vec3(1.10, 1.00, 0.85), smoothstep(0.2, 0.8, luma));
    float vignette = 1.0 - 0.5 * smoothstep(0.35, 0.8, length(uv - vec2(0.5)));
    gl_FragColor = vec4(graded * vignette, 1.0) * gl_Color;
}
