#pragma once

#include <cstdint>
#include <unordered_map>

#include "render/gl_ops.h"

// A GL backend that also counts the triangles sent to it: the vertices of
// GL_TRIANGLES blocks and of GL_TRIANGLES array draws, three to a triangle.
// Triangles compiled into a display list count when the list is called, not
// while it is recorded. Everything else is `Gl`'s own, so the count costs a
// compare per vertex.
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

    void newList(uint32_t list, GlEnum mode) {
        compiling_ = list;
        verticesBeforeList_ = triangleVertices_;
        Gl::newList(list, mode);
    }
    void endList() {
        listVertices_[compiling_] = triangleVertices_ - verticesBeforeList_;
        triangleVertices_ = verticesBeforeList_;
        Gl::endList();
    }
    void callList(uint32_t list) {
        const auto found = listVertices_.find(list);
        triangleVertices_ += found == listVertices_.end() ? 0 : found->second;
        Gl::callList(list);
    }

    // The triangles sent since the last restart.
    int64_t trianglesSent() const { return triangleVertices_ / kVerticesPerTriangle; }
    void restartCount() { triangleVertices_ = 0; }

  private:
    bool countingTriangles_ = false;
    int64_t triangleVertices_ = 0;
    uint32_t compiling_ = 0;
    int64_t verticesBeforeList_ = 0;
    std::unordered_map<uint32_t, int64_t> listVertices_;
};
