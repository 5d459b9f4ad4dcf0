#version 110
// Spikes of the ball: the bound image (stripes on the tubes, the flare on the caps) lit by a cool
// key light from the upper left with a hot rim along the silhouette, scaled by the colour. Dark
// parts of the image take on the metal's blue, and the bright middle of a flare glows unlit.

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

    vec3 texel = texture2D(image, gl_TexCoord[0].st).rgb;
    float luma = dot(texel, vec3(0.299, 0.587, 0.114));
    vec3 metal = vec3(0.12, 0.3, 0.75);
    vec3 base = mix(metal, texel, smoothstep(0.05, 0.45, luma));
    float glow = smoothstep(0.75, 1.0, luma);

    vec3 colour = base * (0.35 + 0.85 * diffuse) + vec3(0.9, 0.95, 1.0) * highlight
                  + vec3(0.3, 0.6, 1.0) * rim * 0.6 + texel * glow * 0.6;
    gl_FragColor = vec4(colour, 1.0) * gl_Color;
}
