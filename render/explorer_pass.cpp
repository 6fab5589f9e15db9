#include "render/explorer_pass.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace explorer_pass {

namespace {

constexpr int32_t kCornersPerSquare = 4;
constexpr float kLineHeight = 12.0f;  // font pixels: stb_easy_font's step per line

// The square's corners around `centre`, in order round it.
std::array<std::array<float, 2>, kCornersPerSquare> square(const std::array<float, 2>& centre,
                                                           float halfSize) {
    const float x = centre[0];
    const float y = centre[1];
    return {{{x - halfSize, y - halfSize},
             {x + halfSize, y - halfSize},
             {x + halfSize, y + halfSize},
             {x - halfSize, y + halfSize}}};
}

void addQuad(std::vector<float>& quads, const std::array<float, 2>& centre, float halfSize) {
    for (const auto& p : square(centre, halfSize)) {
        quads.insert(quads.end(), p.begin(), p.end());
    }
}

void addOutline(std::vector<float>& lines, const std::array<float, 2>& centre, float halfSize) {
    const auto corners = square(centre, halfSize);
    for (int32_t i = 0; i < kCornersPerSquare; ++i) {
        const auto& from = corners[i];
        const auto& to = corners[(i + 1) % kCornersPerSquare];
        lines.insert(lines.end(), {from[0], from[1], to[0], to[1]});
    }
}

// `text` with its top-left corner at `at` (font pixels).
void addText(std::vector<float>& quads, std::string_view text, const std::array<float, 2>& at) {
    static std::vector<float> placed;
    overlay::textQuads(text, placed);
    for (size_t i = 0; i < placed.size(); i += overlay::kFloatsPerCorner) {
        quads.push_back(placed[i] - overlay::kMargin + at[0]);
        quads.push_back(placed[i + 1] - overlay::kMargin + at[1]);
    }
}

std::array<float, 2> offset(const std::array<float, 2>& p, float by) {
    return {p[0] + by, p[1] - 2.0f * by};
}

Vec3 cornerPoint(const CubeMarcher& marcher, int32_t corner) {
    const float* p = marcher.cornerOffset[corner];
    return {p[0], p[1], p[2]};
}

}  // namespace

Placement placementFor(const scene::SceneFit& fit) {
    const float size = kCubeShare * fit.size;
    const auto centred = [&](int32_t axis) { return fit.centre[axis] - size / 2.0f; };
    return {.origin = {centred(0), centred(1), centred(2)}, .size = size};
}

Matrix operator*(const Matrix& a, const Matrix& b) {
    Matrix product;
    for (int32_t row = 0; row < 4; ++row) {
        for (int32_t column = 0; column < 4; ++column) {
            double sum = 0.0;
            for (int32_t k = 0; k < 4; ++k) {
                sum += a.m[row][k] * b.m[k][column];
            }
            product.m[row][column] = sum;
        }
    }
    return product;
}

Matrix frustumMatrix(double l, double r, double b, double t, double n, double f) {
    Matrix m;
    m.m[0][0] = 2.0 * n / (r - l);
    m.m[0][2] = (r + l) / (r - l);
    m.m[1][1] = 2.0 * n / (t - b);
    m.m[1][2] = (t + b) / (t - b);
    m.m[2][2] = -(f + n) / (f - n);
    m.m[2][3] = -2.0 * f * n / (f - n);
    m.m[3][2] = -1.0;
    m.m[3][3] = 0.0;
    return m;
}

namespace {

// x -> diagonal * x + offset, axis by axis.
Matrix scaledAndMoved(const std::array<double, 3>& diagonal, const std::array<double, 3>& offset) {
    Matrix m;
    for (int32_t axis = 0; axis < 3; ++axis) {
        m.m[axis][axis] = diagonal[axis];
        m.m[axis][3] = offset[axis];
    }
    return m;
}

}  // namespace

Matrix translation(double x, double y, double z) {
    return scaledAndMoved({1.0, 1.0, 1.0}, {x, y, z});
}

Matrix rotation(double degrees, double x, double y, double z) {
    const double length = std::sqrt(x * x + y * y + z * z);
    x /= length;
    y /= length;
    z /= length;
    const double c = std::cos(degrees * std::numbers::pi / 180.0);
    const double s = std::sin(degrees * std::numbers::pi / 180.0);
    const double k = 1.0 - c;
    Matrix m;
    m.m[0][0] = x * x * k + c;
    m.m[0][1] = x * y * k - z * s;
    m.m[0][2] = x * z * k + y * s;
    m.m[1][0] = y * x * k + z * s;
    m.m[1][1] = y * y * k + c;
    m.m[1][2] = y * z * k - x * s;
    m.m[2][0] = x * z * k - y * s;
    m.m[2][1] = y * z * k + x * s;
    m.m[2][2] = z * z * k + c;
    return m;
}

Matrix scaling(double x, double y, double z) {
    return scaledAndMoved({x, y, z}, {0.0, 0.0, 0.0});
}

ScreenMap::ScreenMap(const scene::View& view, const scene::SceneFit& fit,
                     const Placement& placement, const int32_t (&viewport)[4])
    : width_(viewport[2]), height_(viewport[3]) {
    const scene::SceneFit::Depth depth = fit.depthAt(view.distance);
    double half[2];
    frustumHalfSizes(fit, depth.nearPlane, viewport, half);
    toClip_ = frustumMatrix(-half[0], half[0], -half[1], half[1], depth.nearPlane, depth.farPlane) *
              translation(view.panX, view.panY, -view.distance) *
              rotation(view.pitch, 1.0, 0.0, 0.0) * rotation(view.yaw, 0.0, 1.0, 0.0) *
              translation(-fit.centre[0], -fit.centre[1], -fit.centre[2]) *
              translation(placement.origin.x, placement.origin.y, placement.origin.z) *
              scaling(placement.size, placement.size, placement.size);
}

std::array<float, 2> ScreenMap::fontPixels(const Vec3& local) const {
    const double p[4] = {local.x, local.y, local.z, 1.0};
    double clip[4] = {};
    for (int32_t row = 0; row < 4; ++row) {
        for (int32_t k = 0; k < 4; ++k) {
            clip[row] += toClip_.m[row][k] * p[k];
        }
    }
    const double x = (clip[0] / clip[3] + 1.0) / 2.0 * width_;
    const double y = (1.0 - clip[1] / clip[3]) / 2.0 * height_;
    return {static_cast<float>(x / overlay::kTextScale),
            static_cast<float>(y / overlay::kTextScale)};
}

Labels labelsFor(const CellDescription& cell, const CubeMarcher& marcher, const ScreenMap& map,
                 int32_t selectedCorner, std::string_view top, std::string_view bottom) {
    Labels labels;
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        const auto at = map.fontPixels(cornerPoint(marcher, corner));
        const bool inside = (cell.caseIndex >> corner & 1u) != 0;
        if (inside) {
            addQuad(labels.insideQuads, at, kMarkerHalfSize);
        } else {
            addOutline(labels.outsideLines, at, kMarkerHalfSize);
        }
        addText(inside ? labels.insideQuads : labels.outsideQuads, std::to_string(corner),
                offset(at, kLabelOffset));
        if (corner == selectedCorner) {
            addOutline(labels.selectionLines, at, kSelectionHalfSize);
        }
    }
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        addText(labels.edgeQuads, std::to_string(edge), map.fontPixels(marcher.edgeMidpoint(edge)));
    }
    for (int32_t i = 0; i < cell.crossingCount; ++i) {
        addQuad(labels.crossingQuads, map.fontPixels(cell.crossings[i].position),
                kCrossingHalfSize);
    }
    addText(labels.textQuads, top, {overlay::kMargin, overlay::kMargin});
    const auto lines = static_cast<float>(std::ranges::count(bottom, '\n') + 1);
    const auto bottomTop =
        static_cast<float>(map.heightInFontPixels()) - overlay::kMargin - lines * kLineHeight;
    addText(labels.textQuads, bottom, {overlay::kMargin, bottomTop});
    return labels;
}

}  // namespace explorer_pass
