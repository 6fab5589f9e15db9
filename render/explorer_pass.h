#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "extract/cell_description.h"
#include "render/gl_ops.h"
#include "render/overlay.h"
#include "render/scene.h"
#include "render/surface_pass.h"

// The case explorer's picture: one cell drawn large in the middle of the
// grid's scene, its triangles lit and outlined, its edges as lines (the
// three from corner 0 in the axes' colours), then over it in font pixels its
// corners as markers (inside filled, outside hollow) with their numbers, the
// edges' numbers at their midpoints, the crossings, and the description.
namespace explorer_pass {

inline constexpr float kCubeShare = 0.45f;         // of the scene's size
inline constexpr float kMarkerHalfSize = 4.0f;     // font pixels
inline constexpr float kSelectionHalfSize = 7.0f;  // the ring around the selected corner
inline constexpr float kCrossingHalfSize = 2.0f;
inline constexpr float kLabelOffset = 6.0f;  // from a marker to its number
inline constexpr float kEdgeGrey[3] = {0.6f, 0.6f, 0.6f};
inline constexpr float kInsideColour[3] = {1.0f, 0.5f, 0.0f};
inline constexpr float kOutsideColour[3] = {0.3f, 0.6f, 1.0f};
inline constexpr float kSelectionColour[3] = {1.0f, 1.0f, 1.0f};
inline constexpr float kCrossingColour[3] = {1.0f, 0.0f, 1.0f};
inline constexpr float kEdgeLabelColour[3] = {0.5f, 1.0f, 0.5f};

// Where the cube stands in scene units: corner 0 at `origin`, `size` along
// each axis, centred where setupCamera centres the scene. It is drawn in the
// scene's frame, not a volume's model frame, so it stays a cube.
struct Placement {
    Vec3 origin;
    float size = 1.0f;
};
Placement placementFor(const scene::SceneFit& fit);

// A 4x4 matrix as GL composes them, row-major here: m[row][column].
struct Matrix {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};
Matrix operator*(const Matrix& a, const Matrix& b);
// What frustum, translatef, rotatef and scalef multiply the current matrix by.
Matrix frustumMatrix(double l, double r, double b, double t, double n, double f);
Matrix translation(double x, double y, double z);
Matrix rotation(double degrees, double x, double y, double z);
Matrix scaling(double x, double y, double z);

// The camera setupCamera loads for `view` over `fit`, and the cube's
// placement, on the CPU: where a cell-local point appears, in font pixels
// from the top-left corner of `viewport` (see beginFontPixels).
class ScreenMap {
  public:
    ScreenMap(const scene::View& view, const scene::SceneFit& fit, const Placement& placement,
              const int32_t (&viewport)[4]);
    std::array<float, 2> fontPixels(const Vec3& local) const;
    double heightInFontPixels() const { return height_ / overlay::kTextScale; }

  private:
    Matrix toClip_;
    double width_;
    double height_;
};

// The quads and lines of the labels, grouped by colour, in font pixels.
struct Labels {
    std::vector<float> insideQuads;   // filled markers and their numbers
    std::vector<float> outsideQuads;  // numbers of the hollow markers
    std::vector<float> outsideLines;  // the hollow markers
    std::vector<float> selectionLines;
    std::vector<float> crossingQuads;
    std::vector<float> edgeQuads;  // edge numbers
    std::vector<float> textQuads;  // the description
};
// `top` goes in the top-left corner, `bottom` in the bottom-left one.
Labels labelsFor(const CellDescription& cell, const CubeMarcher& marcher, const ScreenMap& map,
                 int32_t selectedCorner, std::string_view top, std::string_view bottom);

}  // namespace explorer_pass

// The cube, its triangles and edges in the current camera (setupCamera's,
// with setupLighting(gl, lighting, ...) already set): triangles filled with
// face normals, lit when `lighting`, then lighting off for the outlines and
// the edges. The model-view matrix is pushed and popped around it.
template <GlOperations Gl>
void drawExploredCube(Gl& gl, const CellDescription& cell, const CubeMarcher& marcher,
                      const explorer_pass::Placement& at) {
    const Vec3 local{};
    gl.pushMatrix();
    gl.translatef(at.origin.x, at.origin.y, at.origin.z);
    gl.scalef(at.size, at.size, at.size);
    surface::drawCellTriangles(gl, local, cell.triangles.data(), cell.triangleCount, nullptr);
    gl.disable(gl::kLighting);
    surface::drawCellOutlines(gl, local, cell.triangles.data(), cell.triangleCount);
    gl.begin(gl::kLines);
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        const int32_t a = marcher.edgeCorners[edge][0];
        const int32_t b = marcher.edgeCorners[edge][1];
        const float* colour =
            a == 0 ? scene::kAxisEndColours[marcher.edgeAxis(edge)] : explorer_pass::kEdgeGrey;
        gl.color3f(colour[0], colour[1], colour[2]);
        for (const int32_t corner : {a, b}) {
            const float* p = marcher.cornerOffset[corner];
            gl.vertex3f(p[0], p[1], p[2]);
        }
    }
    gl.end();
    gl.popMatrix();
}

template <GlOperations Gl>
void drawFontLines(Gl& gl, const std::vector<float>& lines, const float (&colour)[3]) {
    gl.color3f(colour[0], colour[1], colour[2]);
    gl.begin(gl::kLines);
    for (size_t i = 0; i + 1 < lines.size(); i += overlay::kFloatsPerCorner) {
        gl.vertex3f(lines[i], lines[i + 1], 0.0f);
    }
    gl.end();
}

// The labels over the picture, in font pixels (beginFontPixels).
template <GlOperations Gl>
void drawExplorerLabels(Gl& gl, const explorer_pass::Labels& labels) {
    beginFontPixels(gl);
    drawFontQuads(gl, labels.edgeQuads, explorer_pass::kEdgeLabelColour);
    drawFontQuads(gl, labels.crossingQuads, explorer_pass::kCrossingColour);
    drawFontQuads(gl, labels.insideQuads, explorer_pass::kInsideColour);
    drawFontQuads(gl, labels.outsideQuads, explorer_pass::kOutsideColour);
    drawFontLines(gl, labels.outsideLines, explorer_pass::kOutsideColour);
    drawFontLines(gl, labels.selectionLines, explorer_pass::kSelectionColour);
    drawFontQuads(gl, labels.textQuads, overlay::kTextColour);
    endFontPixels(gl);
}
