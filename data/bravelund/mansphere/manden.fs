#version 110
// Shows the figure and the greetings as an old print: warm sepia tones, a faint grain of fine
// lines, a soft glow of the bright parts and dark corners.

uniform sampler2D picture;

void main()
{
    vec2 uv = gl_TexCoord[0].st;
    vec3 c = texture2D(picture, uv).rgb;
    vec3 around = texture2D(picture, uv + vec2(0.004, 0.0)).rgb + texture2D(picture, uv - vec2(0.004, 0.0)).rgb
                  + texture2D(picture, uv + vec2(0.0, 0.004)).rgb + texture2D(picture, uv - vec2(0.0, 0.004)).rgb;
    c += max(around * 0.25 - vec3(0.5), vec3(0.0)) * 0.6;

    float luma = dot(c, vec3(0.299, 0.587, 0.114));
    vec3 sepia = vec3(luma) * vec3(1.12, 0.98, 0.78);
    c = mix(c, sepia, 0.45);

    float lines = 0.94 + 0.06 * sin(uv.y * 900.0);
    float vignette = 1.0 - 0.55 * smoothstep(0.3, 0.85, length(uv - vec2(0.5)));
    gl_FragColor = vec4(c * lines * vignette, 1.0) * gl_Color;
}
