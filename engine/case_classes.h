#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/cube_marcher.h"

// The basic configurations of the 256 cases: two cases share a class when a
// rotation of the cube, possibly followed by swapping inside and outside,
// turns one into the other. Reflections are not used, so a configuration and
// its mirror image stay apart, as in the usual figure of 15 classes.
//
// Classes are numbered 0 to classCount()-1 by: the corners on the smaller
// side of the representative (the class's smallest case), then its number of
// groups (corners joined by cube edges), then the representative.
class CaseClasses {
  public:
    struct CaseClass {
        int32_t representative = 0;  // the smallest case of the class
        int32_t corners = 0;         // inside corners of the representative, 0 to 4
        // Sizes of the representative's groups of inside corners joined by
        // cube edges, largest first; 0 past the last.
        std::array<int32_t, 4> groups = {};
        int32_t members = 0;  // cases in the class
    };

    // Derives the rotations from `marcher`'s corner offsets (laid out by
    // buildCornerOffsets) and sorts every case into its class.
    explicit CaseClasses(const CubeMarcher& marcher);

    int32_t classCount() const { return classCount_; }
    int32_t classOf(uint32_t caseIndex) const { return classOf_[caseIndex]; }
    const CaseClass& caseClass(int32_t index) const { return classes_[index]; }
    // Whether the case is a rotation of its class's representative's
    // complement rather than of the representative itself.
    bool isComplemented(uint32_t caseIndex) const { return complemented_[caseIndex]; }
    // The 24 rotations as corner permutations: corner c moves to rotation[c].
    const std::vector<std::array<int32_t, kCornerCount>>& rotations() const { return rotations_; }

    // The case whose inside corners are those of `caseIndex` moved by `permutation`.
    static uint32_t permuteCase(uint32_t caseIndex,
                                const std::array<int32_t, kCornerCount>& permutation);

  private:
    std::vector<std::array<int32_t, kCornerCount>> rotations_;
    std::array<int32_t, kCaseCount> classOf_{};
    std::array<bool, kCaseCount> complemented_{};
    std::array<CaseClass, kCaseCount> classes_{};
    int32_t classCount_ = 0;
};
