// Colours shared by the passes: a cosine palette turned by the hue track.
uniform float hue;

vec3 palette(float t) {
    return 0.5 + 0.5 * cos(6.2831853 * (vec3(0.0, 0.33, 0.67) + t + hue));
}
