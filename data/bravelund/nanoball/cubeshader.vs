#version 110
// Spikes of the ball: eye-space position and normal for the lighting, the texture coordinate and
// the colour that carries the effect's brightness.

varying vec3 eyePosition;
varying vec3 eyeNormal;

void main()
{
    eyePosition = (gl_ModelViewMatrix * gl_Vertex).xyz;
    eyeNormal = gl_NormalMatrix * gl_Normal;
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
