#version 110
// Mirror cube: passes the eye-space position and normal on for the reflective shading, and turns
// the texture upright on every face.

varying vec3 eyePosition;
varying vec3 eyeNormal;
varying vec2 faceCoord;

void main()
{
    vec4 position = gl_ModelViewMatrix * gl_Vertex;
    eyePosition = position.xyz;
    eyeNormal = gl_NormalMatrix * gl_Normal;
    faceCoord = vec2(gl_MultiTexCoord0.s, 1.0 - gl_MultiTexCoord0.t);
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}
