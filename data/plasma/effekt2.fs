#version 110
// Plasma over water: four plane waves whose directions (dx0, dy0), speeds (dx1) and phases (dy1)
// come from the effect's seed, plus one ring wave; the sum picks a colour from a palette that the
// seed shifts, and ripples the water image underneath.

uniform sampler2D water;
uniform float time; // seconds
uniform vec4 dx0;   // wave frequencies along x, 0 to 10
uniform vec4 dy0;   // wave frequencies along y, 0 to 10
uniform vec4 dx1;   // wave speeds, 0 to 1
uniform vec4 dy1;   // wave phases, 0 to 1

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec2 p = (uv * 2.0 - 1.0) * 2.0;

    vec4 waves = sin(dx0 * p.x + dy0 * p.y + (dx1 + 0.25) * time * 2.0 + dy1 * 6.2831853);
    float ringCentreDistance = length(p - (dy1.xy - 0.5) * 2.0);
    float ring = sin(ringCentreDistance * (dx0.z + 3.0) - time * (1.0 + dx1.w * 2.0));
    float value = dot(waves, vec4(0.25)) * 0.7 + ring * 0.3;

    vec3 palette = 0.5 + 0.5 * cos(6.2831853 * (value * 0.9 + vec3(0.0, 0.33, 0.67) + dx1.xyz));
    vec2 ripple = vec2(waves.x + waves.y, waves.z - waves.w) * 0.04;
    vec3 picture = texture2D(water, uv + ripple).rgb;
    vec3 colour = mix(palette, palette * picture * 2.0, 0.5) + picture * 0.15;
    gl_FragColor = vec4(colour, 1.0);
}
