#version 110
// Twisted column: the grid image as a relief lit by a light that sways across the screen at pos,
// with an ambient term of intensity; as the beat lowers intensity the relief glows hot.

uniform sampler2D grid;
uniform float intensity; // 0.25 at rest, 0.15 on a full beat
uniform vec2 resolution; // screen size in pixels
uniform vec2 pos;        // light position, x from -0.5 to 0.5 around the middle, y 0.5

float height(vec2 uv)
{
    vec3 texel = texture2D(grid, uv).rgb;
    return dot(texel, vec3(0.299, 0.587, 0.114));
}

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    const float texelStep = 1.0 / 256.0;
    float centre = height(uv);
    vec3 normal = normalize(vec3(centre - height(uv + vec2(texelStep, 0.0)),
                                 centre - height(uv + vec2(0.0, texelStep)), 0.12));

    vec2 screen = gl_FragCoord.xy / max(resolution, vec2(1.0));
    vec2 light = vec2(0.5 + pos.x, pos.y);
    vec3 toLight = normalize(vec3((light - screen) * vec2(resolution.x / max(resolution.y, 1.0), 1.0), 0.35));
    float diffuse = max(dot(normal, toLight), 0.0);
    float falloff = 1.0 / (1.0 + 6.0 * dot(light - screen, light - screen));

    vec3 picture = texture2D(grid, uv).rgb;
    vec3 base = picture * vec3(0.55, 0.75, 1.0);
    vec3 colour = base * (intensity + 1.3 * diffuse * falloff);
    colour += vec3(1.0, 0.45, 0.1) * (0.25 - intensity) * 6.0 * centre;
    float depthShade = clamp(gl_FragCoord.w * 9.0, 0.3, 1.0);
    gl_FragColor = vec4(colour * depthShade, 1.0);
}
