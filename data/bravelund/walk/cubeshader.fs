#version 110
// Walking cube, drawn without a texture: warm enamel panels with dark seams and a glowing inset
// square on every face, lit by one light above the camera.

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec2 faceCoord;

void main()
{
    vec3 normal = normalize(eyeNormal);
    vec3 toEye = normalize(-eyePosition);
    vec3 toLight = normalize(vec3(0.3, 1.0, 0.6));
    float diffuse = max(dot(normal, toLight), 0.0);
    float highlight = pow(max(dot(reflect(-toLight, normal), toEye), 0.0), 24.0);

    vec2 fromCentre = abs(faceCoord - 0.5);
    float edge = max(fromCentre.x, fromCentre.y);
    float seam = smoothstep(0.47, 0.5, edge);
    float inset = smoothstep(0.30, 0.28, edge) * smoothstep(0.20, 0.22, edge);

    vec3 enamel = mix(vec3(1.0, 0.42, 0.08), vec3(1.0, 0.78, 0.20), faceCoord.y);
    vec3 colour = enamel * (0.38 + 0.70 * diffuse) + vec3(highlight) * 0.6;
    colour = mix(colour, vec3(1.0, 0.95, 0.75), inset * 0.7);
    colour = mix(colour, vec3(0.08, 0.03, 0.02), seam);
    gl_FragColor = vec4(colour, 1.0);
}
