#version 110
// Bouncing balls' floor: the chequered board, darkening with distance and towards its far end.

uniform sampler2D board;

void main()
{
    vec3 picture = texture2D(board, gl_TexCoord[0].st).rgb;
    float eyeDistance = 1.0 / gl_FragCoord.w;
    float light = clamp(1.6 - eyeDistance * 0.018, 0.15, 1.0);
    gl_FragColor = vec4(picture * light * vec3(0.95, 0.97, 1.05), 1.0);
}
