#pragma once

#include <concepts>
#include <cstdint>

// The OpenGL 1.1 operations the program draws with, as a compile-time
// interface: the surface pass and the scene setup are templates over a "Gl"
// type satisfying GlOperations (below, the one statement of the operations),
// so a backend costs nothing per vertex. Backends: OpenGl (render/opengl.h,
// the real calls), NoGl (below: headless runs), and the tests' recording
// backend, built on NoGl.

using GlEnum = uint32_t;
using GlBitfield = uint32_t;

// The values of the OpenGL 1.1 enumerants we use; render/opengl.h checks them
// against the system's GL header.
namespace gl {
inline constexpr GlEnum kLines = 0x0001;
inline constexpr GlEnum kTriangles = 0x0004;
inline constexpr GlEnum kQuads = 0x0007;
inline constexpr GlEnum kFrontAndBack = 0x0408;
inline constexpr GlEnum kCullFace = 0x0B44;
inline constexpr GlEnum kLighting = 0x0B50;
inline constexpr GlEnum kLightModelAmbient = 0x0B53;
inline constexpr GlEnum kDepthTest = 0x0B71;
inline constexpr GlEnum kNormalize = 0x0BA1;
inline constexpr GlEnum kDiffuse = 0x1201;
inline constexpr GlEnum kSpecular = 0x1202;
inline constexpr GlEnum kPosition = 0x1203;
inline constexpr GlEnum kShininess = 0x1601;
inline constexpr GlEnum kModelView = 0x1700;
inline constexpr GlEnum kProjection = 0x1701;
inline constexpr GlEnum kUnsignedByte = 0x1401;
inline constexpr GlEnum kRgba = 0x1908;
inline constexpr GlEnum kFlat = 0x1D00;
inline constexpr GlEnum kSmooth = 0x1D01;
inline constexpr GlEnum kUnsignedInt = 0x1405;
inline constexpr GlEnum kFloat = 0x1406;
inline constexpr GlEnum kVertexArray = 0x8074;
inline constexpr GlEnum kNormalArray = 0x8075;
inline constexpr GlEnum kLight0 = 0x4000;   // kLight0 + i is light i
inline constexpr GlEnum kCompile = 0x1300;  // newList: record without drawing
inline constexpr GlBitfield kDepthBufferBit = 0x0100;
inline constexpr GlBitfield kColorBufferBit = 0x4000;
}  // namespace gl

// The operations, with GL's own signatures, so a backend that misses one or
// gets a parameter type wrong fails where it is declared. readPixels reads the
// back buffer, bottom row first; the pointer and draw calls take client-side
// arrays, read during the draw call; getViewport gives x, y, width, height.
// A display list (genLists, newList ... endList, callList, deleteLists)
// keeps the draw calls made while it is open, arrays read at that moment;
// genLists answers 0 when no list can be had. multMatrixf takes 16 floats,
// column by column.
template <class Gl>
concept GlOperations = requires(Gl gl, float f, double d, int32_t i, GlEnum e, GlBitfield mask,
                                const float* fv, void* pixels, const void* array, int32_t* viewport,
                                uint32_t list) {
    gl.clearColor(f, f, f, f);
    gl.clear(mask);
    gl.viewport(i, i, i, i);
    gl.enable(e);
    gl.disable(e);
    gl.shadeModel(e);
    gl.lightModelfv(e, fv);
    gl.lightfv(e, e, fv);
    gl.materialfv(e, e, fv);
    gl.materialf(e, e, f);
    gl.matrixMode(e);
    gl.loadIdentity();
    gl.frustum(d, d, d, d, d, d);
    gl.ortho(d, d, d, d, d, d);
    gl.pushMatrix();
    gl.popMatrix();
    gl.translatef(f, f, f);
    gl.rotatef(f, f, f, f);
    gl.scalef(f, f, f);
    gl.multMatrixf(fv);
    gl.begin(e);
    gl.end();
    gl.color3f(f, f, f);
    gl.normal3f(f, f, f);
    gl.vertex3f(f, f, f);
    gl.readPixels(i, i, i, i, e, e, pixels);
    gl.enableClientState(e);
    gl.disableClientState(e);
    gl.vertexPointer(i, e, i, array);
    gl.normalPointer(e, i, array);
    gl.drawArrays(e, i, i);
    gl.drawElements(e, i, e, array);
    gl.getViewport(viewport);
    { gl.genLists(i) } -> std::same_as<uint32_t>;
    gl.newList(list, e);
    gl.endList();
    gl.callList(list);
    gl.deleteLists(list, i);
};

// Drawing turned off: every operation does nothing, so headless runs extract,
// count and list exactly as a drawing run does.
struct NoGl {
    void clearColor(float, float, float, float) {}
    void clear(GlBitfield) {}
    void viewport(int32_t, int32_t, int32_t, int32_t) {}
    void enable(GlEnum) {}
    void disable(GlEnum) {}
    void shadeModel(GlEnum) {}
    void lightModelfv(GlEnum, const float*) {}
    void lightfv(GlEnum, GlEnum, const float*) {}
    void materialfv(GlEnum, GlEnum, const float*) {}
    void materialf(GlEnum, GlEnum, float) {}
    void matrixMode(GlEnum) {}
    void loadIdentity() {}
    void frustum(double, double, double, double, double, double) {}
    void ortho(double, double, double, double, double, double) {}
    void pushMatrix() {}
    void popMatrix() {}
    void translatef(float, float, float) {}
    void rotatef(float, float, float, float) {}
    void scalef(float, float, float) {}
    void multMatrixf(const float*) {}
    void begin(GlEnum) {}
    void end() {}
    void color3f(float, float, float) {}
    void normal3f(float, float, float) {}
    void vertex3f(float, float, float) {}
    void readPixels(int32_t, int32_t, int32_t, int32_t, GlEnum, GlEnum, void*) {}
    void enableClientState(GlEnum) {}
    void disableClientState(GlEnum) {}
    void vertexPointer(int32_t, GlEnum, int32_t, const void*) {}
    void normalPointer(GlEnum, int32_t, const void*) {}
    void drawArrays(GlEnum, int32_t, int32_t) {}
    void drawElements(GlEnum, int32_t, GlEnum, const void*) {}
    // Lists are numbered but hold nothing.
    uint32_t genLists(int32_t) { return 1; }
    void newList(uint32_t, GlEnum) {}
    void endList() {}
    void callList(uint32_t) {}
    void deleteLists(uint32_t, int32_t) {}
    // No window: an empty viewport.
    void getViewport(int32_t viewport[4]) {
        viewport[0] = viewport[1] = viewport[2] = viewport[3] = 0;
    }
};
static_assert(GlOperations<NoGl>);
