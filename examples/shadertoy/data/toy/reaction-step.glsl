// One step of a Gray-Scott reaction-diffusion: red holds the chemical U, green V. The track feed
// sets how fast U is fed (spots when low, stripes and mazes when higher).
uniform float feed;

const float killRate = 0.062;
const vec2 neighbours[8] = vec2[8](vec2(-1.0, 0.0), vec2(1.0, 0.0), vec2(0.0, -1.0),
                                   vec2(0.0, 1.0), vec2(-1.0, -1.0), vec2(1.0, -1.0),
                                   vec2(-1.0, 1.0), vec2(1.0, 1.0));
const float weights[8] = float[8](0.2, 0.2, 0.2, 0.2, 0.05, 0.05, 0.05, 0.05);

float hash(vec2 p) {
    return fract(sin(dot(p, vec2(127.1, 311.7))) * 43758.5453);
}

// The state at the start: U everywhere, V in a scatter of small discs.
vec4 seeded(vec2 fragCoord) {
    vec2 cell = floor(fragCoord / 48.0);
    vec2 centre = (cell + 0.2 + 0.6 * vec2(hash(cell), hash(cell + 7.0))) * 48.0;
    float v = hash(cell + 3.0) > 0.6 && distance(fragCoord, centre) < 5.0 ? 1.0 : 0.0;
    return vec4(1.0, v, 0.0, 1.0);
}

vec4 reactionStep(sampler2D state, vec2 fragCoord) {
    vec2 texel = 1.0 / iResolution.xy;
    vec2 uv = fragCoord * texel;
    vec2 here = texture(state, uv).xy;
    vec2 laplace = -here;
    for (int i = 0; i < 8; i++)
        laplace += weights[i] * texture(state, uv + neighbours[i] * texel).xy;
    float feedRate = feed > 0.0 ? feed : 0.037;
    float reaction = here.x * here.y * here.y;
    vec2 change = vec2(1.0 * laplace.x - reaction + feedRate * (1.0 - here.x),
                       0.5 * laplace.y + reaction - (killRate + feedRate) * here.y);
    return vec4(clamp(here + change, 0.0, 1.0), 0.0, 1.0);
}
