#include "app/explorer_frame.h"

#include <string>

#include "app/explorer.h"
#include "app/frame.h"
#include "app/globals.h"
#include "app/settings.h"
#include "render/explorer_pass.h"
#include "render/opengl.h"
#include "render/triangle_count.h"

namespace {

// Worked out once, from the generated marcher's numbering.
const CaseClasses& caseClasses() {
    static const CaseClasses classes(cubeMarcher);
    return classes;
}

// The description on the picture, in two blocks that leave the middle to
// the cube: above, the case and its class; below, its faces and what the
// keys have selected.
void writeExplorerText(const CellDescription& cell, std::string& top, std::string& bottom) {
    char line[160];
    const auto add = [&line](std::string& text, auto... args) {
        std::snprintf(line, sizeof line, args...);
        text += line;
    };
    std::string groups;
    for (int32_t size : cell.caseClass.groups) {
        groups += size > 0 ? (groups.empty() ? "" : "+") + std::to_string(size) : "";
    }
    top.clear();
    add(top, "case %u  bits ", cell.caseIndex);
    for (int32_t corner = kCornerCount - 1; corner >= 0; --corner) {
        top += (cell.caseIndex >> corner & 1u) != 0 ? '1' : '0';
    }
    add(top, "\nclass %d of %d: %d corners %s, like case %d%s\n%d triangles, %s\n", cell.classIndex,
        cell.classCount, cell.caseClass.corners, groups.empty() ? "0" : groups.c_str(),
        cell.caseClass.representative, cell.complemented ? " complemented" : "", cell.triangleCount,
        cell.rule == FaceRule::kDecider ? "faces decided (F)" : "as the table has them (F)");
    bottom.clear();
    const int32_t selectedFace = explorer.currentFace();
    for (int32_t i = 0; i < cell.faceCount; ++i) {
        const CellDescription::Face& f = cell.faces[i];
        add(bottom, "%sface %d: saddle %g, %s%s\n", f.face == selectedFace ? "> " : "  ", f.face,
            f.saddle, f.joined ? "joined" : "separated",
            cell.rule == FaceRule::kTable ? " (not used by the table)" : "");
    }
    if (explorer.lastFlipFailed) {
        bottom += "no corner values found that flip the face\n";
    }
    add(bottom, "corner %d selected: value %g\nN/B case, 0-7 corner, C select, -/+ value, %s",
        explorer.selectedCorner, explorer.values[explorer.selectedCorner],
        cell.faceCount > 0 ? "K face, J flip" : "E leaves");
}

}  // namespace

CellDescription describeExploredCell() {
    return describeCell(cubeMarcher, ambiguousCases, caseClasses(), explorer.values,
                        settings.faceRule);
}

void printExploredCase(uint32_t caseIndex, FaceRule rule, FILE* out) {
    cubeMarcher.buildCornerOffsets();
    cubeMarcher.buildEdges();
    cubeMarcher.generateCaseTable();
    ambiguousCases.generate(cubeMarcher);
    explorer.showCase(caseIndex);
    settings.faceRule = rule;
    std::string text;
    writeCellDescription(describeExploredCell(), true, text);
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

template <GlOperations Gl>
void drawExplorer(Gl& gl, FILE* out) {
    const CellDescription cell = describeExploredCell();
    if (settings.listingRequested) {
        std::string listing;
        writeCellDescription(cell, true, listing);
        std::fputs(listing.c_str(), out);
        std::fflush(out);
    }
    const explorer_pass::Placement placement = explorer_pass::placementFor(sceneFit);
    drawExploredCube(gl, cell, cubeMarcher, placement);
    int32_t viewport[4];
    gl.getViewport(viewport);
    const explorer_pass::ScreenMap map(settings.view, sceneFit, placement, viewport);
    std::string top;
    std::string bottom;
    writeExplorerText(cell, top, bottom);
    drawExplorerLabels(
        gl, explorer_pass::labelsFor(cell, cubeMarcher, map, explorer.selectedCorner, top, bottom));
}

template void drawExplorer(TriangleCountingGl<OpenGl>&, FILE*);
template void drawExplorer(NoGl&, FILE*);
