#pragma once

#include <cstdint>

#include "render/gl_ops.h"

// A GL backend that also counts the triangles sent to it: the vertices of
// GL_TRIANGLES blocks and of GL_TRIANGLES array draws, three to a triangle.
// Everything else is `Gl`'s own, so the count costs a compare per vertex.
template <GlOperations Gl>
struct TriangleCountingGl : Gl {
    static constexpr int64_t kVerticesPerTriangle = 3;

    void begin(GlEnum mode) {
        countingTriangles_ = mode == gl::kTriangles;
        Gl::begin(mode);
    }
    void vertex3f(float x, float y, float z) {
        triangleVertices_ += countingTriangles_ ? 1 : 0;
        Gl::vertex3f(x, y, z);
    }
    void drawArrays(GlEnum mode, int32_t first, int32_t count) {
        triangleVertices_ += mode == gl::kTriangles ? count : 0;
        Gl::drawArrays(mode, first, count);
    }
    void drawElements(GlEnum mode, int32_t count, GlEnum type, const void* indices) {
        triangleVertices_ += mode == gl::kTriangles ? count : 0;
        Gl::drawElements(mode, count, type, indices);
    }

    // The triangles sent since the last restart.
    int64_t trianglesSent() const { return triangleVertices_ / kVerticesPerTriangle; }
    void restartCount() { triangleVertices_ = 0; }

  private:
    bool countingTriangles_ = false;
    int64_t triangleVertices_ = 0;
};
