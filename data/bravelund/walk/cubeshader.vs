#version 110
// Walking cube: eye-space normal and position, and the face coordinates for the panel pattern.

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec2 faceCoord;

void main()
{
    eyePosition = (gl_ModelViewMatrix * gl_Vertex).xyz;
    eyeNormal = gl_NormalMatrix * gl_Normal;
    faceCoord = gl_MultiTexCoord0.st;
    gl_Position = ftransform();
}
