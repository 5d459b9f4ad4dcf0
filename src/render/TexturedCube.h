#pragma once
// An axis-aligned cube with per-face texture coordinates, shared by the cube effects.

// Draws a cube centred on the origin with the given half edge as one GL_QUADS primitive of six
// faces (front, back, top, bottom, right, left), each with a normal of length 0.5 and the whole
// texture once. It binds no texture, sets no colour and uses no program: the caller does.
void drawTexturedCube(float halfEdge);
