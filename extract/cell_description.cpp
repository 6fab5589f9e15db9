#include "extract/cell_description.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr const char* kFaceNames[kFaceCount] = {"x-low",  "x-high", "y-low",
                                                "y-high", "z-low",  "z-high"};

bool isCut(uint32_t caseIndex, int32_t a, int32_t b) {
    return (((caseIndex >> a) ^ (caseIndex >> b)) & 1u) != 0;
}

// The edge whose crossing lies at `p`, or kNoEdge: the pass places every
// vertex with interpolateEdge, so a vertex on an edge matches it exactly.
int32_t edgeAt(const CellDescription& cell, const float* p) {
    for (int32_t i = 0; i < cell.crossingCount; ++i) {
        const Vec3& q = cell.crossings[i].position;
        if (q.x == p[0] && q.y == p[1] && q.z == p[2]) {
            return cell.crossings[i].edge;
        }
    }
    return CellDescription::kNoEdge;
}

void describeFaces(const AmbiguousCaseTable& ambiguous, CellDescription& cell) {
    const uint32_t faces = ambiguous.ambiguousFaces(cell.caseIndex);
    for (int32_t face = 0; face < kFaceCount; ++face) {
        if ((faces >> face & 1u) == 0) {
            continue;
        }
        CellDescription::Face& f = cell.faces[cell.faceCount++];
        f.face = face;
        AmbiguousCaseTable::faceCorners(face, f.corners);
        f.saddle = AmbiguousCaseTable::saddleValue(face, cell.values.data());
        // From the decider itself, so the picture says what the pass does.
        f.joined = AmbiguousCaseTable::decideFaces(1u << face, cell.values.data()) != 0;
    }
}

void describeCrossings(const CubeMarcher& marcher, CellDescription& cell) {
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        const int32_t a = marcher.edgeCorners[edge][0];
        const int32_t b = marcher.edgeCorners[edge][1];
        if (isCut(cell.caseIndex, a, b)) {
            cell.crossings[cell.crossingCount++] = {
                .edge = edge,
                .corners = {a, b},
                .t = CubeMarcher::crossingParameter(cell.values[a], cell.values[b]),
                .position = marcher.interpolateEdge(edge, cell.values.data())};
        }
    }
}

// Through polygoniseCell itself, on a copy, so that what is shown is what the
// surface pass draws and the program's usage counts stay as they are.
void describeTriangles(const CubeMarcher& marcher, const AmbiguousCaseTable& ambiguous,
                       CellDescription& cell) {
    const auto copy = std::make_unique<CubeMarcher>(marcher);
    copy->setCornerValues(cell.values.data());
    cell.triangleCount = copy->polygoniseCell(
        cell.triangles.data(), cell.rule == FaceRule::kDecider ? &ambiguous : nullptr);
    for (int32_t v = 0; v < 3 * cell.triangleCount; ++v) {
        cell.vertexEdges[v] = edgeAt(cell, cell.triangles.data() + kAxisCount * v);
    }
}

void append(std::string& text, const char* format, auto... args) {
    char line[256];
    std::snprintf(line, sizeof line, format, args...);
    text += line;
}

void writeHeader(const CellDescription& cell, std::string& text) {
    append(text, "case %u\nbits ", cell.caseIndex);
    for (int32_t corner = kCornerCount - 1; corner >= 0; --corner) {
        text += (cell.caseIndex >> corner & 1u) != 0 ? '1' : '0';
    }
    text += "\ninside";
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        if ((cell.caseIndex >> corner & 1u) != 0) {
            append(text, " %d", corner);
        }
    }
    append(text, "\nclass %d of %d corners %d groups ", cell.classIndex, cell.classCount,
           cell.caseClass.corners);
    const char* separator = "";
    for (int32_t size : cell.caseClass.groups) {
        if (size > 0) {
            append(text, "%s%d", separator, size);
            separator = "+";
        }
    }
    if (*separator == '\0') {
        text += '0';
    }
    append(text, " like %d complemented %s\nrule %s\nvalues", cell.caseClass.representative,
           cell.complemented ? "yes" : "no", cell.rule == FaceRule::kDecider ? "decider" : "table");
    for (float value : cell.values) {
        append(text, " %g", value);
    }
    text += '\n';
}

void writeFaces(const CellDescription& cell, std::string& text) {
    for (int32_t i = 0; i < cell.faceCount; ++i) {
        const CellDescription::Face& f = cell.faces[i];
        append(text, "face %d %s corners %d %d %d %d saddle %g %s\n", f.face, kFaceNames[f.face],
               f.corners[0], f.corners[1], f.corners[2], f.corners[3], f.saddle,
               f.joined ? "joined" : "separated");
    }
}

void writePoint(const float* p, std::string& text) {
    append(text, " %g %g %g", p[0], p[1], p[2]);
}

void writeGeometry(const CellDescription& cell, std::string& text) {
    append(text, "crossings %d\n", cell.crossingCount);
    for (int32_t i = 0; i < cell.crossingCount; ++i) {
        const CellDescription::Crossing& c = cell.crossings[i];
        append(text, "crossing edge %d corners %d %d t %g at", c.edge, c.corners[0], c.corners[1],
               c.t);
        const float p[3] = {c.position.x, c.position.y, c.position.z};
        writePoint(p, text);
        text += '\n';
    }
    for (int32_t t = 0; t < cell.triangleCount; ++t) {
        text += "triangle edges";
        for (int32_t v = 3 * t; v < 3 * t + 3; ++v) {
            const int32_t edge = cell.vertexEdges[v];
            append(text, edge == CellDescription::kNoEdge ? " -" : " %d", edge);
        }
        text += " at";
        for (int32_t v = 3 * t; v < 3 * t + 3; ++v) {
            writePoint(cell.triangles.data() + kAxisCount * v, text);
        }
        text += '\n';
    }
}

// Decisions of `faces` in decideFaces' numbering.
uint32_t decisionsOf(const std::array<float, kCornerCount>& values, uint32_t faces) {
    return AmbiguousCaseTable::decideFaces(faces, values.data());
}

}  // namespace

CellDescription describeCell(const CubeMarcher& marcher, const AmbiguousCaseTable& ambiguous,
                             const CaseClasses& classes,
                             const std::array<float, kCornerCount>& values, FaceRule rule) {
    CellDescription cell;
    cell.values = values;
    cell.caseIndex = CubeMarcher::caseIndexOf(values.data());
    cell.rule = rule;
    cell.classIndex = classes.classOf(cell.caseIndex);
    cell.classCount = classes.classCount();
    cell.caseClass = classes.caseClass(cell.classIndex);
    cell.complemented = classes.isComplemented(cell.caseIndex);
    describeFaces(ambiguous, cell);
    describeCrossings(marcher, cell);
    describeTriangles(marcher, ambiguous, cell);
    return cell;
}

void writeCellDescription(const CellDescription& cell, bool geometry, std::string& text) {
    text.clear();
    writeHeader(cell, text);
    writeFaces(cell, text);
    append(text, "triangles %d\n", cell.triangleCount);
    if (geometry) {
        writeGeometry(cell, text);
    }
}

// Whether the decider decides `faces` as `wanted`, none of them by a tie
// (a saddle value of exactly 0), which a nudge would turn.
bool decidesClearly(const std::array<float, kCornerCount>& values, uint32_t faces,
                    uint32_t wanted) {
    for (int32_t face = 0; face < kFaceCount; ++face) {
        if ((faces >> face & 1u) != 0 &&
            AmbiguousCaseTable::saddleValue(face, values.data()) == 0.0) {
            return false;
        }
    }
    return decisionsOf(values, faces) == wanted;
}

// Scales some corners by 2^k, k in [-kMaxShift, kMaxShift] but not 0: first
// each corner alone, then each pair, and so on, so the fewest corners change,
// and of those the least.
bool flipFaceDecision(std::array<float, kCornerCount>& values, uint32_t faces, int32_t face) {
    constexpr int32_t kMaxShift = 2;
    constexpr int32_t kShiftChoices = 2 * kMaxShift;
    const uint32_t wanted =
        decisionsOf(values, faces) ^ (1u << std::popcount(faces & ((1u << face) - 1u)));
    for (int32_t changed = 1; changed <= kCornerCount; ++changed) {
        std::array<float, kCornerCount> best{};
        int32_t bestCost = -1;
        for (uint32_t corners = 0; corners < kCaseCount; ++corners) {
            if (std::popcount(corners) != changed) {
                continue;
            }
            int64_t combinations = 1;
            for (int32_t i = 0; i < changed; ++i) {
                combinations *= kShiftChoices;
            }
            for (int64_t n = 0; n < combinations; ++n) {
                std::array<float, kCornerCount> tried = values;
                int64_t rest = n;
                int32_t cost = 0;
                for (int32_t corner = 0; corner < kCornerCount; ++corner) {
                    if ((corners >> corner & 1u) == 0) {
                        continue;
                    }
                    const int32_t choice = static_cast<int32_t>(rest % kShiftChoices);
                    rest /= kShiftChoices;
                    const int32_t shift = choice < kMaxShift ? choice - kMaxShift : choice - 1;
                    tried[corner] = std::ldexp(values[corner], shift);
                    cost += std::abs(shift);
                }
                if ((bestCost < 0 || cost < bestCost) && decidesClearly(tried, faces, wanted)) {
                    best = tried;
                    bestCost = cost;
                }
            }
        }
        if (bestCost >= 0) {
            values = best;
            return true;
        }
    }
    return false;
}
