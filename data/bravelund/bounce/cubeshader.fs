#version 110
// Bouncing balls, drawn without a texture: glossy beach balls of six coloured segments with white
// caps at the poles.

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec2 sphereCoord;

vec3 hue(float h)
{
    return clamp(abs(mod(h * 6.0 + vec3(0.0, 4.0, 2.0), 6.0) - 3.0) - 1.0, 0.0, 1.0);
}

void main()
{
    vec3 normal = normalize(eyeNormal);
    vec3 toEye = normalize(-eyePosition);
    vec3 toLight = normalize(vec3(-0.3, 0.8, 0.7));
    float diffuse = max(dot(normal, toLight), 0.0);
    float highlight = pow(max(dot(reflect(-toLight, normal), toEye), 0.0), 40.0);

    float segment = floor(sphereCoord.s * 6.0);
    vec3 paint = mix(hue(segment / 6.0), vec3(1.0), 0.12);
    float cap = smoothstep(0.86, 0.88, abs(sphereCoord.t - 0.5) * 2.0);
    paint = mix(paint, vec3(1.0), cap);

    vec3 colour = paint * (0.25 + 0.80 * diffuse) + vec3(highlight);
    gl_FragColor = vec4(colour, 1.0);
}
