#version 110
// Twisted column: the grid image as a relief on faces shaded by their slope (found from how the
// depth changes across the screen), lit by a light that sways across the screen at pos, with an
// ambient term of intensity; as the beat lowers intensity the grid lines glow hot.

uniform sampler2D grid;
uniform float intensity; // 0.25 at rest, 0.15 on a full beat
uniform vec2 resolution; // screen size in pixels
uniform vec2 pos;        // light position, x from -0.5 to 0.5 around the middle, y 0.5

const float viewHeightPerDepth = 0.728; // 2 tan(20 degrees): the screen perspective's field

float height(vec2 uv)
{
    return dot(texture2D(grid, uv).rgb, vec3(0.299, 0.587, 0.114));
}

void main()
{
    vec2 size = max(resolution, vec2(1.0));
    vec2 uv = gl_TexCoord[0].st;

    float eyeDepth = 1.0 / gl_FragCoord.w;
    float pixelSize = eyeDepth * viewHeightPerDepth / size.y;
    vec3 faceNormal = vec3(dFdx(eyeDepth) / pixelSize, dFdy(eyeDepth) / pixelSize, 1.0);

    const float texelStep = 1.0 / 256.0;
    float centre = height(uv);
    vec2 relief = vec2(centre - height(uv + vec2(texelStep, 0.0)),
                       centre - height(uv + vec2(0.0, texelStep))) * 6.0;
    vec3 normal = normalize(normalize(faceNormal) + vec3(relief, 0.0));

    vec2 screen = gl_FragCoord.xy / size;
    vec2 light = vec2(0.5 + pos.x, pos.y);
    vec2 toLightOnScreen = (light - screen) * vec2(size.x / size.y, 1.0);
    vec3 toLight = normalize(vec3(toLightOnScreen, 0.6));
    float diffuse = max(dot(normal, toLight), 0.0);
    float highlight = pow(max(dot(reflect(-toLight, normal), vec3(0.0, 0.0, 1.0)), 0.0), 20.0);
    float falloff = 1.0 / (1.0 + 2.5 * dot(toLightOnScreen, toLightOnScreen));

    vec3 picture = texture2D(grid, uv).rgb;
    vec3 base = picture * vec3(0.60, 0.80, 1.0);
    vec3 colour = base * (intensity + 0.25 + 1.2 * diffuse * falloff) + vec3(highlight * falloff * 0.5);
    colour += vec3(1.0, 0.45, 0.1) * (0.25 - intensity) * 6.0 * centre;
    gl_FragColor = vec4(colour, 1.0);
}
