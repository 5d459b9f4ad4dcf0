#version 110
// Bouncing balls: eye-space normal and position, and the sphere's texture coordinates, which
// paint the beach-ball segments.

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec2 sphereCoord;

void main()
{
    eyePosition = (gl_ModelViewMatrix * gl_Vertex).xyz;
    eyeNormal = gl_NormalMatrix * gl_Normal;
    sphereCoord = gl_MultiTexCoord0.st;
    gl_Position = ftransform();
}
