#version 110
// Walking cube's ground: the chessboard fading into a dark horizon. A lower intensity (on the
// beat) thins the haze, so the board opens up towards the horizon.

uniform sampler2D board;
uniform float intensity; // 0.25 at rest, 0.15 on a full beat

void main()
{
    vec3 picture = texture2D(board, gl_TexCoord[0].st).rgb;
    float eyeDistance = 1.0 / gl_FragCoord.w;
    float haze = exp(-eyeDistance * intensity * 0.12);
    vec3 tint = vec3(0.85, 0.9, 1.05);
    vec3 horizon = vec3(0.02, 0.02, 0.06);
    gl_FragColor = vec4(mix(horizon, picture * tint, haze), 1.0);
}
