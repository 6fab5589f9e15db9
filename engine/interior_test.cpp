#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/ambiguous_table.h"

// Whether two corners meet through the cell is read from slices of it across
// z. A slice z = t is a bilinear square whose corners move linearly with t;
// within it, each part of one state holds a corner of the square (the
// interpolant has no maximum or minimum inside it), so a slice's parts are
// told by which of its four corners they join: along a side when both ends
// are of the state, across the diagonal when the square's saddle value says
// so, exactly as decideFaces decides a face. The parts change only where a
// corner's value, the saddle value's numerator or its denominator passes
// zero; between those points one slice stands for all, and two slices next to
// each other share a part wherever a vertical edge is of the state in both.
namespace {

constexpr int32_t kSquareCorners = 4;
// Four vertical edges, the denominator and the numerator's two roots.
constexpr int32_t kMaxEvents = 7;
// t = 0, t = 1 and one slice between each two events.
constexpr int32_t kMaxSlices = kMaxEvents + 3;

// Union-find over the square corners of every slice: node slice * 4 + k.
class Parts {
  public:
    Parts() {
        for (int32_t n = 0; n < kMaxSlices * kSquareCorners; ++n) {
            parent_[n] = n;
        }
    }
    int32_t find(int32_t n) {
        while (parent_[n] != n) {
            n = parent_[n] = parent_[parent_[n]];
        }
        return n;
    }
    void join(int32_t a, int32_t b) { parent_[find(a)] = find(b); }

  private:
    int32_t parent_[kMaxSlices * kSquareCorners];
};

void addRoot(double t, double* events, int32_t& count) {
    if (t > 0.0 && t < 1.0) {
        events[count++] = t;
    }
}

// The roots in (0, 1) of a + b t + c t^2.
void addQuadraticRoots(double a, double b, double c, double* events, int32_t& count) {
    if (c == 0.0) {
        if (b != 0.0) {
            addRoot(-a / b, events, count);
        }
        return;
    }
    const double discriminant = b * b - 4.0 * a * c;
    if (discriminant < 0.0) {
        return;
    }
    const double root = std::sqrt(discriminant);
    addRoot((-b - root) / (2.0 * c), events, count);
    addRoot((-b + root) / (2.0 * c), events, count);
}

}  // namespace

bool AmbiguousCaseTable::decideTunnel(const Tunnel& tunnel, const float values[kCornerCount]) {
    if (!std::all_of(values, values + kCornerCount, [](float v) { return std::isfinite(v); })) {
        return false;
    }
    // Square corner k (bit 0 x, bit 1 y) runs from cell corner k at t = 0 to
    // corner k + 4 at t = 1: value low[k] + t * rise[k].
    double low[kSquareCorners];
    double rise[kSquareCorners];
    double events[kMaxEvents];
    int32_t eventCount = 0;
    for (int32_t k = 0; k < kSquareCorners; ++k) {
        low[k] = values[k];
        rise[k] = double{values[k + kSquareCorners]} - values[k];
        if (rise[k] != 0.0) {
            addRoot(-low[k] / rise[k], events, eventCount);
        }
    }
    // The saddle value is numerator / denominator, both polynomials in t.
    const double riseOfDenominator = rise[0] + rise[3] - rise[1] - rise[2];
    if (riseOfDenominator != 0.0) {
        addRoot(-(low[0] + low[3] - low[1] - low[2]) / riseOfDenominator, events, eventCount);
    }
    addQuadraticRoots(low[0] * low[3] - low[1] * low[2],
                      low[0] * rise[3] + low[3] * rise[0] - low[1] * rise[2] - low[2] * rise[1],
                      rise[0] * rise[3] - rise[1] * rise[2], events, eventCount);
    // A few values: insertion sort (std::sort trips GCC's bounds warning here).
    for (int32_t i = 1; i < eventCount; ++i) {
        for (int32_t j = i; j > 0 && events[j] < events[j - 1]; --j) {
            std::swap(events[j], events[j - 1]);
        }
    }
    double slices[kMaxSlices];
    int32_t sliceCount = 0;
    slices[sliceCount++] = 0.0;
    for (int32_t e = 0; e <= eventCount; ++e) {
        const double from = e == 0 ? 0.0 : events[e - 1];
        const double to = e == eventCount ? 1.0 : events[e];
        slices[sliceCount++] = 0.5 * (from + to);
    }
    slices[sliceCount++] = 1.0;

    const auto ofState = [&](double v) { return (v >= 0.0) == tunnel.inside; };
    Parts parts;
    bool previous[kSquareCorners] = {};
    for (int32_t s = 0; s < sliceCount; ++s) {
        const double t = slices[s];
        double v[kSquareCorners];
        bool in[kSquareCorners];
        for (int32_t k = 0; k < kSquareCorners; ++k) {
            // Exact at the cell's faces: t = 0 and 1 give the samples.
            v[k] = t == 1.0 ? double{values[k + kSquareCorners]} : low[k] + t * rise[k];
            in[k] = ofState(v[k]);
            if (s > 0 && in[k] && previous[k]) {
                parts.join((s - 1) * kSquareCorners + k, s * kSquareCorners + k);
            }
            previous[k] = in[k];
        }
        const auto joinIfBoth = [&](int32_t a, int32_t b) {
            if (in[a] && in[b]) {
                parts.join(s * kSquareCorners + a, s * kSquareCorners + b);
            }
        };
        joinIfBoth(0, 1);
        joinIfBoth(2, 3);
        joinIfBoth(0, 2);
        joinIfBoth(1, 3);
        if (in[0] == in[3] && in[1] == in[2] && in[0] != in[1]) {
            const double saddle = (v[0] * v[3] - v[1] * v[2]) / (v[0] + v[3] - v[1] - v[2]);
            if (ofState(saddle)) {
                joinIfBoth(0, 3);
                joinIfBoth(1, 2);
            }
        }
    }
    const auto nodeOf = [&](int32_t corner) {
        const int32_t slice = corner < kSquareCorners ? 0 : sliceCount - 1;
        return slice * kSquareCorners + corner % kSquareCorners;
    };
    return parts.find(nodeOf(tunnel.from)) == parts.find(nodeOf(tunnel.to));
}
