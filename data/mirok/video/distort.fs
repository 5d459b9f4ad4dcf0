// Shows the composite with a rippling lens; time is in milliseconds, the beat deepens the ripple.
uniform sampler2D composite;
uniform float time;
uniform float beat;

void main() {
    vec2 uv = gl_TexCoord[0].st;
    vec2 centred = uv - vec2(0.5);
    float radius = length(centred);
    float ripple = sin(radius * 40.0 - time * 0.004) * (0.003 + 0.012 * beat);
    vec2 bent = uv + centred * ripple / max(radius, 0.05);
    vec3 c = texture2D(composite, bent).rgb;
    float vignette = 1.0 - 0.45 * smoothstep(0.35, 0.75, radius);
    gl_FragColor = vec4(c * vignette, 1.0) * gl_Color;
}
