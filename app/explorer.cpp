#include "app/explorer.h"

#include <bit>

#include "extract/cell_description.h"

Explorer explorer;

namespace {

// The first face of `faces` after `face`, round the cube; -1 when none.
int32_t nextFace(uint32_t faces, int32_t face) {
    for (int32_t step = 1; step <= kFaceCount; ++step) {
        const int32_t candidate = (face + step + kFaceCount) % kFaceCount;
        if ((faces >> candidate & 1u) != 0) {
            return candidate;
        }
    }
    return -1;
}

}  // namespace

std::array<float, kCornerCount> Explorer::startValues(uint32_t caseIndex) {
    std::array<float, kCornerCount> start{};
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        start[corner] = (caseIndex >> corner & 1u) != 0 ? kInsideValue : kOutsideValue;
    }
    return start;
}

uint32_t Explorer::caseIndex() const {
    return CubeMarcher::caseIndexOf(values.data());
}

int32_t Explorer::currentFace() const {
    const uint32_t faces = AmbiguousCaseTable::ambiguousFacesOf(caseIndex());
    if (selectedFace >= 0 && (faces >> selectedFace & 1u) != 0) {
        return selectedFace;
    }
    return nextFace(faces, -1);
}

void Explorer::showCase(uint32_t caseIndex) {
    values = startValues(caseIndex % kCaseCount);
    lastFlipFailed = false;
}

bool Explorer::applyKey(WParam virtualKey) {
    if (virtualKey >= vk::k0 && virtualKey < vk::k0 + kCornerCount) {
        selectedCorner = static_cast<int32_t>(virtualKey - vk::k0);
        const uint32_t toggled = caseIndex() ^ (1u << selectedCorner);
        values[selectedCorner] = startValues(toggled)[selectedCorner];
        lastFlipFailed = false;
        return true;
    }
    switch (virtualKey) {
        case vk::kN:
            showCase(caseIndex() + 1);
            return true;
        case vk::kB:
            showCase(caseIndex() + kCaseCount - 1);
            return true;
        case vk::kC:
            selectedCorner = (selectedCorner + 1) % kCornerCount;
            return true;
        case vk::kOemMinus:
        case vk::kSubtract:
            values[selectedCorner] -= kValueStep;
            return true;
        case vk::kOemPlus:
        case vk::kAdd:
            values[selectedCorner] += kValueStep;
            return true;
        case vk::kK:
            selectedFace =
                nextFace(AmbiguousCaseTable::ambiguousFacesOf(caseIndex()), currentFace());
            return true;
        case vk::kJ: {
            const int32_t face = currentFace();
            lastFlipFailed =
                face < 0 ||
                !flipFaceDecision(values, AmbiguousCaseTable::ambiguousFacesOf(caseIndex()), face);
            return true;
        }
        default:
            return false;
    }
}
