#include "engine/case_classes.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <tuple>
#include <vector>

namespace {

constexpr uint32_t kAllCorners = kCaseCount - 1;

using Matrix = std::array<std::array<int32_t, kAxisCount>, kAxisCount>;

int32_t determinant(const Matrix& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// The corner at `offset` (each coordinate 0 or 1), or -1.
int32_t cornerAt(const CubeMarcher& marcher, const std::array<float, kAxisCount>& offset) {
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        if (std::ranges::equal(marcher.cornerOffset[corner], offset)) {
            return corner;
        }
    }
    return -1;
}

// Every symmetry of the cube maps each axis onto an axis, perhaps reversed:
// a signed permutation matrix. The rotations are those of determinant +1.
std::vector<std::array<int32_t, kCornerCount>> cubeRotations(const CubeMarcher& marcher) {
    std::vector<std::array<int32_t, kCornerCount>> rotations;
    std::array<int32_t, kAxisCount> axes = {0, 1, 2};
    do {
        for (uint32_t reversed = 0; reversed < (1u << kAxisCount); ++reversed) {
            Matrix m{};
            for (int32_t axis = 0; axis < kAxisCount; ++axis) {
                m[axis][axes[axis]] = (reversed >> axis & 1u) != 0 ? -1 : 1;
            }
            if (determinant(m) != 1) {
                continue;
            }
            std::array<int32_t, kCornerCount> permutation{};
            for (int32_t corner = 0; corner < kCornerCount; ++corner) {
                std::array<float, kAxisCount> moved{};
                for (int32_t axis = 0; axis < kAxisCount; ++axis) {
                    const float from = marcher.cornerOffset[corner][axes[axis]];
                    moved[axis] = m[axis][axes[axis]] < 0 ? 1.0f - from : from;
                }
                permutation[corner] = cornerAt(marcher, moved);
            }
            rotations.push_back(permutation);
        }
    } while (std::ranges::next_permutation(axes).found);
    return rotations;
}

// Sizes of the groups of corners in `corners` (a case's bits) joined by cube
// edges, largest first.
std::array<int32_t, 4> groupSizes(uint32_t corners) {
    std::array<int32_t, 4> sizes{};
    int32_t groupCount = 0;
    uint32_t unvisited = corners;
    while (unvisited != 0) {
        uint32_t group = 1u << std::countr_zero(unvisited);
        uint32_t grown = 0;
        while (grown != group) {
            grown = group;
            for (int32_t corner = 0; corner < kCornerCount; ++corner) {
                for (int32_t axis = 0; axis < kAxisCount; ++axis) {
                    const int32_t neighbour = CubeMarcher::flipCorner(corner, axis);
                    if ((grown >> corner & 1u) != 0 && (corners >> neighbour & 1u) != 0) {
                        group |= 1u << neighbour;
                    }
                }
            }
        }
        if (groupCount < static_cast<int32_t>(sizes.size())) {
            sizes[groupCount] = std::popcount(group);
        }
        ++groupCount;
        unvisited &= ~group;
    }
    std::ranges::sort(sizes, std::greater{});
    return sizes;
}

int32_t groupCount(const CaseClasses::CaseClass& c) {
    return static_cast<int32_t>(std::ranges::count_if(c.groups, [](int32_t s) { return s > 0; }));
}

}  // namespace

uint32_t CaseClasses::permuteCase(uint32_t caseIndex,
                                  const std::array<int32_t, kCornerCount>& permutation) {
    uint32_t moved = 0;
    for (int32_t corner = 0; corner < kCornerCount; ++corner) {
        if ((caseIndex >> corner & 1u) != 0) {
            moved |= 1u << permutation[corner];
        }
    }
    return moved;
}

CaseClasses::CaseClasses(const CubeMarcher& marcher) {
    rotations_ = cubeRotations(marcher);
    const auto smallestRotation = [&](uint32_t caseIndex) {
        uint32_t smallest = kAllCorners;
        for (const auto& rotation : rotations_) {
            smallest = std::min(smallest, permuteCase(caseIndex, rotation));
        }
        return smallest;
    };
    std::vector<CaseClass> found;
    std::array<uint32_t, kCaseCount> representativeOf{};
    for (uint32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const uint32_t turned = smallestRotation(caseIndex);
        const uint32_t representative = std::min(turned, smallestRotation(kAllCorners ^ caseIndex));
        representativeOf[caseIndex] = representative;
        complemented_[caseIndex] = turned != representative;
        if (representative == caseIndex) {
            const uint32_t smallerSide =
                std::popcount(caseIndex) <= kCornerCount / 2 ? caseIndex : kAllCorners ^ caseIndex;
            found.push_back({.representative = static_cast<int32_t>(caseIndex),
                             .corners = std::popcount(smallerSide),
                             .groups = groupSizes(smallerSide)});
        }
    }
    std::ranges::sort(found, {}, [](const CaseClass& c) {
        return std::tuple(c.corners, groupCount(c), c.representative);
    });
    classCount_ = static_cast<int32_t>(found.size());
    for (int32_t index = 0; index < classCount_; ++index) {
        classes_[index] = found[index];
    }
    for (uint32_t caseIndex = 0; caseIndex < kCaseCount; ++caseIndex) {
        const auto entry = std::ranges::find(classes_.begin(), classes_.begin() + classCount_,
                                             static_cast<int32_t>(representativeOf[caseIndex]),
                                             &CaseClass::representative);
        classOf_[caseIndex] = static_cast<int32_t>(entry - classes_.begin());
        ++entry->members;
    }
}
