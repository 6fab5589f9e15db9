// The per-frame path (field step and surface pass) must not allocate. This
// executable replaces the global allocation functions to count every call.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "extract/surface_mesh.h"
#include "field/metaball_field.h"
#include "render/overlay.h"
#include "render/surface_pass.h"
#include "test_support.h"

namespace {
int64_t allocationCount = 0;
}  // namespace

void* operator new(std::size_t size) {
    ++allocationCount;
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
// The array forms too: the standard library's forward to the ones above, but
// AddressSanitizer's runtime brings array forms of its own that would not.
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete[](void* p) noexcept {
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

// Everything a frame does: the field step, the per-cell pass with its
// listing, the mesh extraction on two threads with usage counts, and the
// overlay, whose text changes length every frame. The first run of frames
// sizes the workspaces and buffers (and the counter must see that); the same
// frames again allocate nothing.
TEST(PerFramePath, AllocatesNothingOnceSized) {
    CubeMarcher marcher;
    CapturedFile sink;
    marcher.initialiseCubeMarcher(sink.get());
    const AmbiguousCaseTable ambiguous(marcher);
    MeshExtractor extractor(marcher, ambiguous, 2);
    SurfaceMesh mesh;
    ScalarGrid grid;
    ASSERT_TRUE(grid.allocate(40, 40, 40));
    NoGl gl;
    const char* overlays[] = {"iso 1e+06\n1000000 triangles\n1000.0 fps",
                              "iso 127.5\n12 triangles"};
    int64_t allocations[2] = {};
    for (int frame = 0; frame < 20; ++frame) {
        const int64_t before = allocationCount;
        updateMetaballField(grid, 0.2f * static_cast<float>(frame % 10));
        EXPECT_GT(drawSurface(gl, marcher, grid, true, sink.get(), &ambiguous), 0);
        extractor.extract(grid, mesh, FaceRule::kDecider, marcher.usageCount);
        drawOverlay(gl, overlays[frame % 2]);
        allocations[frame / 10] += allocationCount - before;
    }
    EXPECT_GT(allocations[0], 0);
    EXPECT_EQ(allocations[1], 0);
}

}  // namespace
