#pragma once

#include <GL/gl.h>

#include "render/gl_ops.h"

// The real OpenGL 1.1 calls; needs a GL context current on the calling thread.
// Every member is inline, so a pass templated on OpenGl calls GL directly.
struct OpenGl {
    void clearColor(float r, float g, float b, float a) { glClearColor(r, g, b, a); }
    void clear(GlBitfield mask) { glClear(mask); }
    void viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
        glViewport(x, y, width, height);
    }
    void enable(GlEnum cap) { glEnable(cap); }
    void disable(GlEnum cap) { glDisable(cap); }
    void shadeModel(GlEnum mode) { glShadeModel(mode); }
    void lightModelfv(GlEnum pname, const float* params) { glLightModelfv(pname, params); }
    void lightfv(GlEnum light, GlEnum pname, const float* params) {
        glLightfv(light, pname, params);
    }
    void materialfv(GlEnum face, GlEnum pname, const float* params) {
        glMaterialfv(face, pname, params);
    }
    void materialf(GlEnum face, GlEnum pname, float param) { glMaterialf(face, pname, param); }
    void matrixMode(GlEnum mode) { glMatrixMode(mode); }
    void loadIdentity() { glLoadIdentity(); }
    void frustum(double l, double r, double b, double t, double n, double f) {
        glFrustum(l, r, b, t, n, f);
    }
    void ortho(double l, double r, double b, double t, double n, double f) {
        glOrtho(l, r, b, t, n, f);
    }
    void pushMatrix() { glPushMatrix(); }
    void popMatrix() { glPopMatrix(); }
    void translatef(float x, float y, float z) { glTranslatef(x, y, z); }
    void rotatef(float angle, float x, float y, float z) { glRotatef(angle, x, y, z); }
    void scalef(float x, float y, float z) { glScalef(x, y, z); }
    void multMatrixf(const float* m) { glMultMatrixf(m); }
    void begin(GlEnum mode) { glBegin(mode); }
    void end() { glEnd(); }
    void color3f(float r, float g, float b) { glColor3f(r, g, b); }
    void normal3f(float x, float y, float z) { glNormal3f(x, y, z); }
    void vertex3f(float x, float y, float z) { glVertex3f(x, y, z); }
    void readPixels(int32_t x, int32_t y, int32_t width, int32_t height, GlEnum format, GlEnum type,
                    void* pixels) {
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, width, height, format, type, pixels);
    }
    void enableClientState(GlEnum array) { glEnableClientState(array); }
    void disableClientState(GlEnum array) { glDisableClientState(array); }
    void vertexPointer(int32_t size, GlEnum type, int32_t stride, const void* pointer) {
        glVertexPointer(size, type, stride, pointer);
    }
    void normalPointer(GlEnum type, int32_t stride, const void* pointer) {
        glNormalPointer(type, stride, pointer);
    }
    void drawArrays(GlEnum mode, int32_t first, int32_t count) { glDrawArrays(mode, first, count); }
    void drawElements(GlEnum mode, int32_t count, GlEnum type, const void* indices) {
        glDrawElements(mode, count, type, indices);
    }
    void getViewport(int32_t viewport[4]) { glGetIntegerv(GL_VIEWPORT, viewport); }
    uint32_t genLists(int32_t range) { return glGenLists(range); }
    void newList(uint32_t list, GlEnum mode) { glNewList(list, mode); }
    void endList() { glEndList(); }
    void callList(uint32_t list) { glCallList(list); }
    void deleteLists(uint32_t list, int32_t range) { glDeleteLists(list, range); }
};
static_assert(GlOperations<OpenGl>);

// Our enumerants and parameter types must be GL's own, or calls through the
// backend-neutral code would pass the wrong values.
static_assert(sizeof(GlEnum) == sizeof(GLenum) && sizeof(GlBitfield) == sizeof(GLbitfield));
static_assert(sizeof(float) == sizeof(GLfloat) && sizeof(int32_t) == sizeof(GLint));
static_assert(gl::kLines == GL_LINES);
static_assert(gl::kTriangles == GL_TRIANGLES);
static_assert(gl::kQuads == GL_QUADS);
static_assert(gl::kFrontAndBack == GL_FRONT_AND_BACK);
static_assert(gl::kCullFace == GL_CULL_FACE);
static_assert(gl::kLighting == GL_LIGHTING);
static_assert(gl::kLightModelAmbient == GL_LIGHT_MODEL_AMBIENT);
static_assert(gl::kDepthTest == GL_DEPTH_TEST);
static_assert(gl::kNormalize == GL_NORMALIZE);
static_assert(gl::kDiffuse == GL_DIFFUSE);
static_assert(gl::kSpecular == GL_SPECULAR);
static_assert(gl::kPosition == GL_POSITION);
static_assert(gl::kShininess == GL_SHININESS);
static_assert(gl::kModelView == GL_MODELVIEW);
static_assert(gl::kProjection == GL_PROJECTION);
static_assert(gl::kFlat == GL_FLAT);
static_assert(gl::kSmooth == GL_SMOOTH);
static_assert(gl::kUnsignedInt == GL_UNSIGNED_INT);
static_assert(gl::kFloat == GL_FLOAT);
static_assert(gl::kVertexArray == GL_VERTEX_ARRAY);
static_assert(gl::kNormalArray == GL_NORMAL_ARRAY);
static_assert(gl::kUnsignedByte == GL_UNSIGNED_BYTE);
static_assert(gl::kRgba == GL_RGBA);
static_assert(gl::kLight0 == GL_LIGHT0);
static_assert(gl::kCompile == GL_COMPILE);
static_assert(gl::kLight0 + 3 == GL_LIGHT3);
static_assert(gl::kDepthBufferBit == GL_DEPTH_BUFFER_BIT);
static_assert(gl::kColorBufferBit == GL_COLOR_BUFFER_BIT);
