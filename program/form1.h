#pragma once
// The main window: ten shortcut rows of real controls, the code tables the
// polling reads, the timer that polls, and the Hide button.

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "error.h"
#include "icon_box.h"
#include "module1.h"
#include "row_controls.h"
#include "tick.h"

namespace brimlow {

// The row controls as the core sees them: text of a box, state of the Active
// box. The Win32 controls are the only store of these values.
class Form1Rows final : public RowControls {
public:
    std::string Text(Box box, int row) const override;
    void SetText(Box box, int row, const std::string& text) override;
    int Active(int row) const override;
    void SetActive(int row, int state) override;

    HWND Control(Box box, int row) const;

private:
    friend class Form1;
    std::array<HWND, kRowCount> text1_{};
    std::array<HWND, kRowCount> text3_{};
    std::array<HWND, kRowCount> text2_{};
    std::array<HWND, kRowCount> combo1_{};
    std::array<HWND, kRowCount> check1_{};
};

class Form1 {
public:
    // programFolder: where Ostrad.dll, help.txt and data\ are looked for.
    Form1(HINSTANCE instance, std::string programFolder);
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window and its controls, hidden, with the timer running.
    Status Create();
    HWND Hwnd() const { return hwnd_; }

    Form1Rows& Rows() { return rows_; }
    const KeyCodes& Codes() const { return codes_; }
    win::IconBox& Picture3(int row) { return picture3_[static_cast<std::size_t>(row)]; }
    Module1::Ostrad& Launcher() { return ostrad_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    int Dpi() const { return dpi_; }

    // Event handlers, named as the events they handle.
    void Timer1_Timer();
    void Text1_KeyDown(std::int16_t index, std::int16_t keyCode, std::int16_t shift);
    void Text3_Change(std::int16_t index);
    void Command1_Click();

    void ResolveRowKeyCodes(int row);
    void ResolveKeyCodes();

    void ShowMainWindow();

    // The program ends when its main window is gone; an embedded window in a
    // test leaves the caller's message loop alone.
    void QuitWhenDestroyed(bool quit) { quitWhenDestroyed_ = quit; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK Text1Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row,
                                      DWORD_PTR self);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnCreate();
    void OnCommand(int id, int code);
    void OnDpiChanged(int dpi, const RECT* suggested);
    void CreateControls();
    void LayoutControls();
    void MakeFonts();
    void FitToClientArea();

    HINSTANCE instance_;
    std::string programFolder_;
    HWND owner_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND command1_ = nullptr;
    std::array<HWND, kRowCount> label1_{};
    std::array<win::IconBox, kRowCount> picture3_{};
    Form1Rows rows_;
    KeyCodes codes_;
    Module1::Ostrad ostrad_;
    int dpi_ = 96;
    bool controlsReady_ = false;
    bool quitWhenDestroyed_ = false;
    win::UniqueGdi font_;
    win::UniqueGdi boldFont_;
};

}  // namespace brimlow
