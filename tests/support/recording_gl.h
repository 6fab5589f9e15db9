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

// A GL backend that does nothing but record every call, in order.
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
    // Records the query and answers with `viewportAnswer`.
    void getViewport(int32_t out[4]) {
        add("getViewport");
        std::copy_n(viewportAnswer, 4, out);
    }
    int32_t viewportAnswer[4] = {0, 0, 800, 600};

  private:
    template <class... Args>
    void add(const char* name, Args... args) {
        calls.push_back({name, {static_cast<double>(args)...}});
    }
    // Every parameter vector the program passes (colours, positions) has four.
    template <class... Head>
    void addWithVector(const char* name, const float* v, Head... head) {
        add(name, head..., v[0], v[1], v[2], v[3]);
    }
};
static_assert(GlOperations<RecordingGl>);
