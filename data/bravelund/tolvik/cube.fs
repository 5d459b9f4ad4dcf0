#version 110
// Mirror cube: the box image, lit from the upper left, with a polished surface that reflects a
// moving sky, a Fresnel rim, bright bevelled edges and a sheen sweeping over the faces.

uniform sampler2D boxImage;
uniform float time; // seconds

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec2 faceCoord;

vec3 sky(vec3 direction)
{
    float bands = sin(direction.y * 7.0 + time * 1.3) * cos(direction.x * 5.0 - time * 0.7);
    float height = clamp(direction.y * 0.5 + 0.5, 0.0, 1.0);
    vec3 low = vec3(0.10, 0.05, 0.20);
    vec3 high = vec3(0.55, 0.75, 1.00);
    return mix(low, high, height) * (0.75 + 0.25 * bands);
}

void main()
{
    vec3 normal = normalize(eyeNormal);
    vec3 toEye = normalize(-eyePosition);
    vec3 toLight = normalize(vec3(-0.4, 0.6, 1.0));
    vec3 reflected = reflect(-toEye, normal);

    float diffuse = max(dot(normal, toLight), 0.0);
    float highlight = pow(max(dot(reflected, toLight), 0.0), 32.0);
    float rim = pow(1.0 - max(dot(normal, toEye), 0.0), 3.0);
    vec2 fromEdge = min(faceCoord, 1.0 - faceCoord);
    float bevel = 1.0 - smoothstep(0.0, 0.035, min(fromEdge.x, fromEdge.y));

    float sweep = smoothstep(0.75, 1.0, sin(dot(faceCoord, vec2(2.0, 1.2)) * 2.5 - time * 1.6));
    vec3 picture = texture2D(boxImage, faceCoord).rgb;
    vec3 colour = picture * (0.30 + 0.80 * diffuse);
    colour += sky(reflected) * (0.12 + 0.60 * rim);
    colour += vec3(highlight) + vec3(0.9, 0.8, 0.6) * bevel * 0.35 + vec3(0.35, 0.4, 0.5) * sweep;
    gl_FragColor = vec4(colour * gl_Color.rgb, 1.0);
}
