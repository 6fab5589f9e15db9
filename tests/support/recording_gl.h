#pragma once

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "render/gl_ops.h"

// One call per line: the form the tests compare and the golden traces in
// tests/ hold.
inline std::string traceOf(const std::vector<std::string>& calls) {
    std::string trace;
    for (const std::string& call : calls) {
        trace += call + '\n';
    }
    return trace;
}

// A recorded call's name, and its numbers in order.
inline std::vector<double> argumentsOf(const std::string& call, std::string& name) {
    name = call.substr(0, call.find('('));
    std::istringstream text(call.substr(name.size() + 1));
    std::vector<double> arguments;
    for (double value = 0; text >> value; text.ignore(1)) {
        arguments.push_back(value);
    }
    return arguments;
}

// Records the calls the passes' output depends on, in order; every other
// operation is NoGl's. A draw from client-side arrays is recorded as its
// call, followed by what GL reads for each element, as immediate mode would
// send it: normal3f (while the normal array is on) and vertex3f. Arrays must
// be three floats per element, indices unsigned ints.
struct RecordingGl : NoGl {
    std::vector<std::string> calls;  // each as name(arg, arg, ...)

    void enable(GlEnum cap) { add("enable", cap); }
    void disable(GlEnum cap) { add("disable", cap); }
    void shadeModel(GlEnum mode) { add("shadeModel", mode); }
    void lightModelfv(GlEnum pname, const float* v) { add("lightModelfv", pname, v); }
    void lightfv(GlEnum light, GlEnum pname, const float* v) { add("lightfv", light, pname, v); }
    void materialfv(GlEnum face, GlEnum pname, const float* v) {
        add("materialfv", face, pname, v);
    }
    void materialf(GlEnum face, GlEnum pname, float param) { add("materialf", face, pname, param); }
    void matrixMode(GlEnum mode) { add("matrixMode", mode); }
    void loadIdentity() { add("loadIdentity"); }
    void frustum(double l, double r, double b, double t, double n, double f) {
        add("frustum", l, r, b, t, n, f);
    }
    void ortho(double l, double r, double b, double t, double n, double f) {
        add("ortho", l, r, b, t, n, f);
    }
    void pushMatrix() { add("pushMatrix"); }
    void popMatrix() { add("popMatrix"); }
    void translatef(float x, float y, float z) { add("translatef", x, y, z); }
    void rotatef(float angle, float x, float y, float z) { add("rotatef", angle, x, y, z); }
    void scalef(float x, float y, float z) { add("scalef", x, y, z); }
    void multMatrixf(const float* m) { add("multMatrixf", m, m + 4, m + 8, m + 12); }
    void begin(GlEnum mode) { add("begin", mode); }
    void end() { add("end"); }
    void color3f(float r, float g, float b) { add("color3f", r, g, b); }
    void normal3f(float x, float y, float z) { add("normal3f", x, y, z); }
    void vertex3f(float x, float y, float z) { add("vertex3f", x, y, z); }
    // Records the request; the pixels are left as they are.
    void readPixels(int32_t x, int32_t y, int32_t w, int32_t h, GlEnum format, GlEnum type, void*) {
        add("readPixels", x, y, w, h, format, type);
    }
    void enableClientState(GlEnum array) { setClientState("enableClientState", array, true); }
    void disableClientState(GlEnum array) { setClientState("disableClientState", array, false); }
    void vertexPointer(int32_t size, GlEnum type, int32_t stride, const void* pointer) {
        add("vertexPointer", size, type, stride);
        arrays_[0] = {arrays_[0].enabled, static_cast<const float*>(pointer), stride};
    }
    void normalPointer(GlEnum type, int32_t stride, const void* pointer) {
        add("normalPointer", type, stride);
        arrays_[1] = {arrays_[1].enabled, static_cast<const float*>(pointer), stride};
    }
    void drawArrays(GlEnum mode, int32_t first, int32_t count) {
        add("drawArrays", mode, first, count);
        for (int32_t i = first; i < first + count; ++i) {
            readElement(i);
        }
    }
    void drawElements(GlEnum mode, int32_t count, GlEnum type, const void* indices) {
        add("drawElements", mode, count, type);
        for (int32_t i = 0; i < count; ++i) {
            readElement(static_cast<int32_t>(static_cast<const uint32_t*>(indices)[i]));
        }
    }
    // Lists are numbered from 1; the calls made while one is open are
    // recorded as they come.
    uint32_t genLists(int32_t range) {
        add("genLists", range);
        return 1;
    }
    void newList(uint32_t list, GlEnum mode) { add("newList", list, mode); }
    void endList() { add("endList"); }
    void callList(uint32_t list) { add("callList", list); }
    void deleteLists(uint32_t list, int32_t range) { add("deleteLists", list, range); }
    // Records the query and answers with `viewportAnswer`.
    void getViewport(int32_t out[4]) {
        add("getViewport");
        std::copy_n(viewportAnswer, 4, out);
    }
    int32_t viewportAnswer[4] = {0, 0, 800, 600};

  private:
    struct ClientArray {
        bool enabled = false;
        const float* data = nullptr;
        int32_t stride = 0;  // bytes; 0 for tightly packed
    };
    ClientArray arrays_[2];  // vertex, normal

    void setClientState(const char* name, GlEnum array, bool enabled) {
        add(name, array);
        arrays_[array == gl::kNormalArray].enabled = enabled;
    }

    void readElement(int32_t i) {
        const auto at = [i](const ClientArray& array) {
            const int32_t stride = array.stride == 0 ? 3 * sizeof(float) : array.stride;
            return reinterpret_cast<const float*>(reinterpret_cast<const char*>(array.data) +
                                                  int64_t{i} * stride);
        };
        if (arrays_[1].enabled) {
            const float* n = at(arrays_[1]);
            add("normal3f", n[0], n[1], n[2]);
        }
        const float* v = at(arrays_[0]);
        add("vertex3f", v[0], v[1], v[2]);
    }

    // Arguments widened to double, with enough digits to tell floats apart
    // (and 0 from -0); every parameter vector the program passes (colours,
    // positions) has four values.
    template <class... Args>
    void add(const char* name, Args... args) {
        std::ostringstream call;
        call.precision(9);
        call << name << '(';
        [[maybe_unused]] const char* separator = "";  // loadIdentity() has no argument
        (append(call, separator, args), ...);
        calls.push_back(call.str() + ')');
    }
    static void append(std::ostringstream& call, const char*& separator, double value) {
        call << separator << value;
        separator = ", ";
    }
    static void append(std::ostringstream& call, const char*& separator, const float* v) {
        for (int32_t i = 0; i < 4; ++i) {
            append(call, separator, v[i]);
        }
    }
};
static_assert(GlOperations<RecordingGl>);
