#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "render/gl_ops.h"

// One recorded GL operation: its name as in gl_ops.h and its arguments in
// order, each widened to double (exact for every float, enum and int32_t). A
// parameter vector is recorded as the four values it points to. Calls compare
// argument by argument as bits, so NaN equals NaN and 0.0 differs from -0.0.
struct GlCall {
    std::string name;
    std::vector<double> args;

    bool operator==(const GlCall& other) const {
        const auto bits = [](double v) { return std::bit_cast<uint64_t>(v); };
        return name == other.name && std::ranges::equal(args, other.args, {}, bits, bits);
    }
};

// Prints as name(arg, arg, ...) with enough digits to tell floats apart.
inline std::ostream& operator<<(std::ostream& os, const GlCall& call) {
    const auto oldPrecision = os.precision(9);
    os << call.name << '(';
    for (size_t i = 0; i < call.args.size(); ++i) {
        os << (i == 0 ? "" : ", ") << call.args[i];
    }
    os.precision(oldPrecision);
    return os << ')';
}

inline GlCall glCall(std::string name, std::initializer_list<double> args = {}) {
    return {std::move(name), std::vector<double>(args)};
}

// Empty when the two sequences are equal; otherwise names the first call that
// differs, so long sequences need not be compared by eye.
inline std::string firstDifference(const std::vector<GlCall>& actual,
                                   const std::vector<GlCall>& expected) {
    std::ostringstream os;
    for (size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
        if (!(actual[i] == expected[i])) {
            os << "call " << i << " is " << actual[i] << ", expected " << expected[i];
            return os.str();
        }
    }
    if (actual.size() != expected.size()) {
        os << actual.size() << " calls, expected " << expected.size();
    }
    return os.str();
}

// A GL backend that does nothing but record every call, in order. A draw
// from client-side arrays is recorded as its call, followed by what GL reads
// for each element, as immediate mode would send it: normal3f (while the
// normal array is on) and vertex3f. Arrays must be three floats per element,
// indices unsigned ints.
struct RecordingGl {
    std::vector<GlCall> calls;

    void clearColor(float r, float g, float b, float a) { add("clearColor", r, g, b, a); }
    void clear(GlBitfield mask) { add("clear", mask); }
    void viewport(int32_t x, int32_t y, int32_t w, int32_t h) { add("viewport", x, y, w, h); }
    void enable(GlEnum cap) { add("enable", cap); }
    void disable(GlEnum cap) { add("disable", cap); }
    void shadeModel(GlEnum mode) { add("shadeModel", mode); }
    void lightModelfv(GlEnum pname, const float* v) { addWithVector("lightModelfv", v, pname); }
    void lightfv(GlEnum light, GlEnum pname, const float* v) {
        addWithVector("lightfv", v, light, pname);
    }
    void materialfv(GlEnum face, GlEnum pname, const float* v) {
        addWithVector("materialfv", v, face, pname);
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
    void begin(GlEnum mode) { add("begin", mode); }
    void end() { add("end"); }
    void color3f(float r, float g, float b) { add("color3f", r, g, b); }
    void normal3f(float x, float y, float z) { add("normal3f", x, y, z); }
    void vertex3f(float x, float y, float z) { add("vertex3f", x, y, z); }
    // Records the request; the pixels are left as they are.
    void readPixels(int32_t x, int32_t y, int32_t w, int32_t h, GlEnum format, GlEnum type, void*) {
        add("readPixels", x, y, w, h, format, type);
    }
    void enableClientState(GlEnum array) {
        add("enableClientState", array);
        arrays_[array == gl::kNormalArray].enabled = true;
    }
    void disableClientState(GlEnum array) {
        add("disableClientState", array);
        arrays_[array == gl::kNormalArray].enabled = false;
    }
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

    template <class... Args>
    void add(const char* name, Args... args) {
        calls.push_back({name, {static_cast<double>(args)...}});
    }
    ClientArray arrays_[2];  // vertex, normal
    // Every parameter vector the program passes (colours, positions) has four.
    template <class... Head>
    void addWithVector(const char* name, const float* v, Head... head) {
        add(name, head..., v[0], v[1], v[2], v[3]);
    }
};
static_assert(GlOperations<RecordingGl>);
