#pragma once

#include <array>
#include <cstdint>

#include "engine/ambiguous_table.h"
#include "platform/messages.h"

// The case explorer: one cell shown large instead of the scene, its eight
// corner values under the user's keys. E enters and leaves it (--explore
// starts in it); while it is shown its keys are:
//   N / B   next / previous case (255 wraps to 0), corners at their start values
//   0 - 7   corner i in or out (at its start value), and selected
//   C       select the next corner
//   - / +   the selected corner's value down / up by kValueStep; through 0
//           it changes sides, and the case with it (0 itself is inside)
//   K       select the next ambiguous face of the case
//   J       flip the selected ambiguous face's decision: corner values the
//           decider decides that face the other way with (flipFaceDecision)
// Every other key keeps its meaning (orbit, zoom, F face rule, L, P lists the
// cell's description, Escape).
struct Explorer {
    static constexpr float kInsideValue = 1.0f;
    // Outside twice as far from 0 as inside: crossings a third along from the
    // inside corner, and every ambiguous face starts out separated, not tied.
    static constexpr float kOutsideValue = -2.0f;
    static constexpr float kValueStep = 0.25f;
    static constexpr uint32_t kFirstCase = 1;

    bool active = false;
    std::array<float, kCornerCount> values = startValues(kFirstCase);
    int32_t selectedCorner = 0;
    int32_t selectedFace = -1;    // a face number; -1 before K is pressed
    bool lastFlipFailed = false;  // J found no values that flip the face

    static std::array<float, kCornerCount> startValues(uint32_t caseIndex);
    uint32_t caseIndex() const;
    // The selected face if it is ambiguous in the current case, else the
    // case's first ambiguous face; -1 when it has none.
    int32_t currentFace() const;
    void showCase(uint32_t caseIndex);
    // Applies an explorer key (above); returns false for any other key.
    bool applyKey(WParam virtualKey);
};

// The one instance.
extern Explorer explorer;
