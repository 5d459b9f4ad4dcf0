#version 110
// Spikes of the ball: the bound image (stripes on the tubes, the flare on the caps) lit by a cool
// key light from the upper left with a hot rim along the silhouette, scaled by the colour.

uniform sampler2D image;

varying vec3 eyePosition;
varying vec3 eyeNormal;

void main()
{
    vec3 normal = normalize(eyeNormal);
    vec3 toEye = normalize(-eyePosition);
    vec3 toLight = normalize(vec3(-0.4, 0.7, 0.6));
    float diffuse = max(dot(normal, toLight), 0.0);
    float highlight = pow(max(dot(reflect(-toLight, normal), toEye), 0.0), 20.0);
    float rim = pow(1.0 - max(dot(normal, toEye), 0.0), 3.0);

    vec3 base = texture2D(image, gl_TexCoord[0].st).rgb;
    vec3 colour = base * (0.35 + 0.85 * diffuse) + vec3(0.9, 0.95, 1.0) * highlight
                  + vec3(0.3, 0.6, 1.0) * rim * 0.6;
    gl_FragColor = vec4(colour, 1.0) * gl_Color;
}
