#pragma once

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
// pointer argument is recorded as the kParamsPerVector values it points to.
struct GlCall {
    std::string name;
    std::vector<double> args;

    bool operator==(const GlCall&) const = default;
};

// Prints as name(arg, arg, ...) with enough digits to tell floats apart, so
// a failed sequence comparison shows exactly which value differed.
inline std::ostream& operator<<(std::ostream& os, const GlCall& call) {
    const auto oldPrecision = os.precision(9);
    os << call.name << '(';
    for (size_t i = 0; i < call.args.size(); ++i) {
        os << (i == 0 ? "" : ", ") << call.args[i];
    }
    os.precision(oldPrecision);
    return os << ')';
}

// Builds an expected call; floats given here widen exactly as recorded ones.
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
    // Every parameter vector the program passes (colours, positions) has four.
    static constexpr int32_t kParamsPerVector = 4;

    std::vector<GlCall> calls;

    void clearColor(float r, float g, float b, float a) { add("clearColor", {r, g, b, a}); }
    void clear(GlBitfield mask) { add("clear", {double(mask)}); }
    void viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
        add("viewport", {double(x), double(y), double(width), double(height)});
    }
    void enable(GlEnum cap) { add("enable", {double(cap)}); }
    void disable(GlEnum cap) { add("disable", {double(cap)}); }
    void shadeModel(GlEnum mode) { add("shadeModel", {double(mode)}); }
    void lightModelfv(GlEnum pname, const float* params) {
        addWithVector("lightModelfv", {double(pname)}, params);
    }
    void lightfv(GlEnum light, GlEnum pname, const float* params) {
        addWithVector("lightfv", {double(light), double(pname)}, params);
    }
    void materialfv(GlEnum face, GlEnum pname, const float* params) {
        addWithVector("materialfv", {double(face), double(pname)}, params);
    }
    void materialf(GlEnum face, GlEnum pname, float param) {
        add("materialf", {double(face), double(pname), param});
    }
    void matrixMode(GlEnum mode) { add("matrixMode", {double(mode)}); }
    void loadIdentity() { add("loadIdentity", {}); }
    void frustum(double l, double r, double b, double t, double n, double f) {
        add("frustum", {l, r, b, t, n, f});
    }
    void translatef(float x, float y, float z) { add("translatef", {x, y, z}); }
    void rotatef(float angle, float x, float y, float z) { add("rotatef", {angle, x, y, z}); }
    void begin(GlEnum mode) { add("begin", {double(mode)}); }
    void end() { add("end", {}); }
    void color3f(float r, float g, float b) { add("color3f", {r, g, b}); }
    void normal3f(float x, float y, float z) { add("normal3f", {x, y, z}); }
    void vertex3f(float x, float y, float z) { add("vertex3f", {x, y, z}); }
    // Records the request; the pixels are left as they are.
    void readPixels(int32_t x, int32_t y, int32_t width, int32_t height, GlEnum format, GlEnum type,
                    void*) {
        add("readPixels",
            {double(x), double(y), double(width), double(height), double(format), double(type)});
    }

  private:
    void add(const char* name, std::initializer_list<double> args) {
        calls.push_back(glCall(name, args));
    }
    void addWithVector(const char* name, std::initializer_list<double> args, const float* params) {
        GlCall call = glCall(name, args);
        call.args.insert(call.args.end(), params, params + kParamsPerVector);
        calls.push_back(std::move(call));
    }
};
static_assert(GlOperations<RecordingGl>);
