#pragma once
// In-memory rows for native tests: the same seam the window implements, with
// the letter box's change event wired the way the window wires it.

#include <array>
#include <functional>
#include <string>

#include "row_controls.h"

namespace brimlow::testing {

class FakeRows final : public RowControls {
public:
    FakeRows() {
        for (int row = 0; row < kRowCount; ++row) {
            Set(row, kInitialFirstKey, kInitialLetter, kInitialPath, kInitialWindowState, kActiveOn);
        }
    }

    void Set(int row, std::string firstKey, std::string letter, std::string path, std::string windowState, int active) {
        auto& r = rows_[static_cast<std::size_t>(row)];
        r.texts = {std::move(firstKey), std::move(letter), std::move(path), std::move(windowState)};
        r.active = active;
    }

    std::string Text(Box box, int row) const override {
        ++textReads;
        return rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(box)];
    }
    void SetText(Box box, int row, const std::string& text) override {
        rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(box)] = text;
        if (box == Box::Letter && onLetterChange) onLetterChange(row);
    }
    int Active(int row) const override { return rows_[static_cast<std::size_t>(row)].active; }
    void SetActive(int row, int state) override { rows_[static_cast<std::size_t>(row)].active = state; }

    // Raised like the letter box's change event.
    std::function<void(int)> onLetterChange;
    mutable int textReads = 0;

private:
    struct Row {
        std::array<std::string, 4> texts;
        int active = kActiveOff;
    };
    std::array<Row, kRowCount> rows_{};
};

}  // namespace brimlow::testing
