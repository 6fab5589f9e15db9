#pragma once

// How the surface is shaded: kFlat gives each triangle the face normal of its
// winding, as the per-cell pass does; kSmooth gives each vertex the field's
// gradient normal and lets GL blend across the triangle.
enum class Shading { kFlat, kSmooth };

// How the surface is sent to GL: kImmediate one glBegin/glEnd pair per cell,
// kArrays the frame's whole mesh from client-side vertex arrays.
enum class DrawPath { kImmediate, kArrays };
