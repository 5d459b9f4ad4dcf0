#version 110
// Bends the bound picture like a lens: the middle swells towards the viewer and the edges are
// pulled in, with a faint split of the colours towards the rim.

uniform sampler2D picture;

void main()
{
    vec2 centred = gl_TexCoord[0].st - vec2(0.5);
    float radius = length(centred);
    vec2 bent = vec2(0.5) + centred * (0.85 + 0.3 * radius * radius);
    vec2 split = centred * 0.008 * radius;
    float r = texture2D(picture, bent + split).r;
    float g = texture2D(picture, bent).g;
    float b = texture2D(picture, bent - split).b;
    gl_FragColor = vec4(r, g, b, 1.0) * gl_Color;
}
