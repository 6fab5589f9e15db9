#include <cstdio>

#include "engine/cube_marcher.h"

namespace {

constexpr int32_t kEmptyCase = 0;
constexpr int32_t kFullCase = kCaseCount - 1;

void printCornerOffsets(const CubeMarcher& marcher, FILE* out) {
    std::fputs("Vertex offset:\n", out);
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        std::fprintf(out, "i:%d", corner);
        for (int32_t axis = 0; axis < kAxisCount; ++axis) {
            std::fprintf(out, " %.1f", static_cast<double>(marcher.cornerOffset[corner][axis]));
        }
        std::fputc('\n', out);
    }
}

void printEdges(const CubeMarcher& marcher, FILE* out) {
    std::fputs("Edge vertex:\n", out);
    for (int32_t edge = 0; edge < kEdgeCount; ++edge) {
        std::fprintf(out, "i:%d edge: %d - %d\n", edge, marcher.edgeCorners[edge][0],
                     marcher.edgeCorners[edge][1]);
    }
}

void printTriangles(const CubeMarcher& marcher, FILE* out) {
    std::fputs("Triangle table:\n", out);
    int32_t casesWithTriangles = 0;
    for (int32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const CaseEntry& entry = marcher.caseTable[caseIndex];
        std::fprintf(out, "i:%d t:%d", caseIndex, entry.triangleCount);
        if (entry.triangleCount > 0) {
            ++casesWithTriangles;
        }
        for (int32_t t = 0; t < entry.triangleCount; ++t) {
            std::fputs(" tri:(", out);
            for (int32_t vertex = 0; vertex < 3; ++vertex) {
                std::fprintf(out, "%d ", entry.triangles[3 * t + vertex]);
            }
            std::fputc(')', out);
        }
        std::fputc('\n', out);
    }
    std::fprintf(out, "case count:%d\n", casesWithTriangles);
}

}  // namespace

void CubeMarcher::initialiseCubeMarcher(FILE* out) {
    prepareCaseTable();
    printCaseTable(out);
}

void CubeMarcher::prepareCaseTable() {
    buildCornerOffsets();
    buildEdges();
    generateCaseTable();
}

// Each handler orients the triangles of every piece it appends against that
// piece's own hint, so no pass over the whole case follows.
void CubeMarcher::generateCaseTable() {
    caseTable[kFullCase].caseNumber = kFullCase;
    caseTable[kEmptyCase].triangleCount = 0;
    caseTable[kEmptyCase].caseNumber = kEmptyCase;
    caseTable[kFullCase].triangleCount = 0;
    for (int32_t caseIndex = kEmptyCase + 1; caseIndex < kFullCase; ++caseIndex) {
        if (caseTable[caseIndex].caseNumber > 0) {
            continue;  // already generated
        }
        for (const PatternHandler handler : kPatternHandlers) {
            (this->*handler)(caseIndex);
        }
        caseTable[caseIndex].caseNumber = caseIndex;
    }
}

void CubeMarcher::printCaseTable(FILE* out) const {
    printCornerOffsets(*this, out);
    std::fputc('\n', out);
    printEdges(*this, out);
    std::fputc('\n', out);
    printTriangles(*this, out);
    std::fflush(out);
}
