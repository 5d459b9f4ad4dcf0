#version 110
// Shows the sphere scene with rays of light from the glowing sphere in the middle streaming out
// between the dark cubes, a cool tint in the shadows, a warm one in the lights, and a vignette.

uniform sampler2D scene;

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 c = texture2D(scene, uv).rgb;

    // Light scattered on the way from the bright middle: bright taps between this point and the
    // middle of the picture add up, the nearer ones counting more.
    vec2 toMiddle = vec2(0.5) - uv;
    vec3 rays = vec3(0.0);
    float weight = 1.0;
    for (int k = 0; k < 16; ++k) {
        vec3 tap = texture2D(scene, uv + toMiddle * (float(k) * 0.04)).rgb;
        float luma = dot(tap, vec3(0.299, 0.587, 0.114));
        rays += tap * max(luma - 0.8, 0.0) * weight;
        weight *= 0.92;
    }
    c += rays * vec3(1.0, 0.8, 0.55) * 0.45;

    float luma = dot(c, vec3(0.299, 0.587, 0.114));
    vec3 cool = c * vec3(0.80, 0.90, 1.15);
    vec3 warm = c * vec3(1.10, 1.00, 0.85);
    vec3 graded = mix(cool, warm, smoothstep(0.2, 0.8, luma));
    float vignette = 1.0 - 0.5 * smoothstep(0.35, 0.8, length(uv - vec2(0.5)));
    gl_FragColor = vec4(graded * vignette, 1.0) * gl_Color;
}
