#pragma once
// The main window: ten shortcut rows of real controls, the code tables the
// polling reads, the timer that polls, and the Hide button.

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "accessible_names.h"
#include "common_dialog.h"
#include "handles.h"
#include "error.h"
#include "foreground.h"
#include "gui.h"
#include "icon_box.h"
#include "layout.h"
#include "module1.h"
#include "notify_icon.h"
#include "row_controls.h"
#include "table_sync.h"
#include "table_watch.h"
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

    // The start-up: start at logon, common controls, menu, toolbar, the
    // shortcuts file and the key codes. An error stops it; the caller shows
    // it and ends the program without showing the window.
    Status Form_Load();
    // The shutdown's save, decided against the file on disk: the rows are
    // written unless the file already holds them or another writer changed
    // it while the rows stayed as read; when both changed, the version on
    // disk is first kept as a dated copy (KeptCopy). Once it has succeeded
    // it does nothing more; a failure may be tried again.
    Status Form_Unload();
    // The dated copy the last Form_Unload kept of the other version, or "".
    const std::string& KeptCopy() const { return keptCopy_; }

    // Reads a shortcuts file into the rows, all or nothing, and redraws every
    // row's icon. This is where a load resolves the key codes: the rows are
    // written first key before letter, and each letter box's change event
    // (Text3_Change) resolves its row from both. Form_Load still ends with
    // ResolveKeyCodes over all rows as the start-up's last step; it finds the
    // same codes.
    Status LoadShortcuts(const std::string& path);
    // Writes the rows to a file; an empty path writes nothing.
    Status SaveShortcuts(const std::string& path);
    std::string ShortcutsPath() const { return programFolder_ + "\\data\\shortcuts.ini"; }

    Form1Rows& Rows() { return rows_; }
    const KeyCodes& Codes() const { return codes_; }
    win::IconBox& Picture3(int row) { return picture3_[static_cast<std::size_t>(row)]; }
    Module1::Ostrad& Launcher() { return ostrad_; }
    // The launcher and foreground calls the tick makes; a test that hosts the
    // window puts its own in, nullptr gives back the system's.
    void UseTickCalls(win::TickCalls* calls) { tickCalls_ = calls; }
    // The window's foreground round, for the tick, a second start and the
    // notification icon.
    win::ForegroundRound& Round() { return round_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    int Dpi() const { return dpi_; }

    // Event handlers, named as the events they handle.
    void Timer1_Timer();
    void Text1_KeyDown(std::int16_t index, std::int16_t keyCode, std::int16_t shift);
    void Text3_Change(std::int16_t index);
    void Text2_DblClick(std::int16_t index);
    void Command1_Click();
    // A menu item by its number (1 to 10), a toolbar button by its index.
    void SmartMenuXP1_MenuClick(int itemNumber);
    void Toolbar1_ButtonClick(std::int16_t index);

    // The commands. Each reports its own errors and leaves the program running.
    void OpenCommand();
    void SaveCommand();
    void ExitCommand();
    void ContextCommand();
    void AboutCommand();
    void HideCommand();
    // "Pause hot keys" in the notification icon's menu: pauses, or resumes
    // when paused.
    void PauseCommand();

    // While paused no row fires; Ctrl+Alt+F1 still shows the window, and the
    // notification icon shows the pause. Nothing of it is saved: every start
    // begins with the hot keys on.
    void SetPaused(bool paused);
    bool Paused() const { return ticker_.Paused(); }

    // Looks whether the table's folder changed, at every fifth timer message:
    // one wait call, twice a second, and no file-system call.
    void TakeTableFolderChanges();
    // A look at the table's folder (or, without a watch, at its size and
    // time) that found a change or not. A change is noted; the file is read
    // only at a later look that finds nothing new, so a writer that saves in
    // steps is not caught half-way, and never while one of the program's own
    // modal windows is open (the main window is disabled then): it is looked
    // at again right after that window closes.
    void OnTableLook(bool changed);
    // Loads a changed file the way File > Open does if the rows are not
    // edited; a file that does not load is reported once, in a balloon.
    void OnTableQuiet();

    void RefreshRowIcon(int row);
    void RefreshRowIcons();

    void ResolveKeyCodes();

    void ShowMainWindow();
    // Shows the window as Ctrl+Alt+F1 does and brings it to the front: for a
    // second start and for the notification icon.
    void ShowAndActivate();

    // The program ends when its main window is gone; an embedded window in a
    // test leaves the caller's message loop alone.
    void QuitWhenDestroyed(bool quit) { quitWhenDestroyed_ = quit; }
    // 0, or 1 after a failed save at shutdown.
    int ExitCode() const { return exitCode_; }

    HWND Toolbar() const { return toolbar1_; }
    const win::NotifyIcon& NotifyIcon() const { return notifyIcon_; }
    HACCEL Accelerators() const { return accelerators_.Get(); }
    win::CommonDialog CommonDialog1;
    // Where the About box reads the version from; the running program unless
    // a test hosts the window.
    std::string versionFile;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK Text1Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row,
                                      DWORD_PTR self);
    static LRESULT CALLBACK Text2Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR row,
                                      DWORD_PTR self);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnCreate();
    void OnCommand(int id, int code);
    void OnDpiChanged(int dpi, const RECT* suggested);
    void OnColorsChanged();
    void OnSettingChange(WPARAM setting, LPARAM area);
    void OnNotifyIcon(WPARAM wParam, LPARAM lParam);
    void CreateControls();
    HWND MakeControl(DWORD exStyle, const char* windowClass, const char* text, DWORD style, int id,
                     const layout::TwipsRect& twips, HGDIOBJ font, int extraHeight = 0);
    int ComboListHeight() const;
    // Moves every control to its place after a DPI change, without drawing.
    void LayoutControls();
    void SetControlFonts();
    void MakeFonts();
    // Sizes the frame around the client area; moves it too, when given where.
    void FitToClientArea(const POINT* topLeft = nullptr);
    void BuildMenu();
    void BuildToolbar();
    // The toolbar's open-folder and diskette beside their menu items, on the
    // menu's colour of the moment.
    void MakeMenuPictures();
    void OnClose();
    void OnEndSession(bool ending, LPARAM how);
    // The shutdown's save; at the end of a session nothing is tried again.
    Status Unload(bool sessionEnd);
    // The table now; with wait, a file that is there but cannot be read is
    // read again for about two seconds, as a refused rename is tried again.
    static TableOnDisk ReadTable(const std::string& path, bool wait, Error& why);
    // The whole file at path, as another writer left it, in a dated copy
    // beside it.
    Status KeepDiskVersion(const std::string& path, std::string& copy);
    enum class FailedCloseAnswer { TryAgain, Cancel, Continue };
    FailedCloseAnswer AskAfterFailedSave(const Error& error);
    // The folders a copy of the rows goes to when the table takes no save,
    // in order: the data folder, %LOCALAPPDATA%\Brimlow (made when needed),
    // and at a session's end %TEMP% last, which Storage Sense empties.
    std::vector<std::string> RowsCopyFolders(bool sessionEnd) const;
    // The first of those folders that takes a file now, for the box to name.
    std::string RowsCopyFolder() const;
    // Writes the rows to a dated copy in the first folder that takes it and
    // leaves a note for the next start, which says where, once.
    Status SaveRowsCopy(bool sessionEnd);
    void ReportLastSession();
    void StartTableWatch();
    void OnTableWatchTimer();
    void SetTableWatchTimer();
    void ReportError(const Error& error);
    Status OpenChosenFile(const std::string& chosen);

    // The table's folder is looked at every fifth tick; a change is loaded
    // at the first look after it that finds nothing new: long enough for an
    // editor's save by rename or a sync tool's several writes, short enough
    // that a hand edit shows within a second.
    static constexpr int kTicksPerFolderLook = 5;
    int ticksSinceFolderLook_ = 0;
    // On a timer of its own: every four seconds a watch that stopped or
    // whose folder was replaced is made again (three file calls a folder);
    // without a watch, every two seconds, the table's size and time are
    // compared (one call) and a watch is tried again.
    static constexpr UINT_PTR kTableWatchTimer = 3;
    static constexpr UINT kTableRecheckMs = 4000;
    static constexpr UINT kTableCompareMs = 2000;
    UINT tableWatchMs_ = 0;
    // Posted when a modal window of the program's own closes with a change
    // noted, so the table is looked at once the command that opened it is done.
    static constexpr UINT kTableLookMessage = 0x8000 + 2;
    bool tableChangePending_ = false;

    HINSTANCE instance_;
    std::string programFolder_;
    HWND owner_ = nullptr;
    HWND hwnd_ = nullptr;
    HWND command1_ = nullptr;
    HWND toolbar1_ = nullptr;
    win::UniqueAccelerators accelerators_;
    win::UniqueGdi picture1_;  // the open folder beside "&Open..."
    win::UniqueGdi picture2_;  // the diskette beside "&Save..."
    std::array<HWND, kRowCount> label1_{};
    std::array<win::IconBox, kRowCount> picture3_{};
    Form1Rows rows_;
    KeyCodes codes_;
    Module1::Ostrad ostrad_;
    win::TickCalls* tickCalls_ = nullptr;
    win::ForegroundRound round_;
    Ticker ticker_;
    int dpi_ = 96;
    bool controlsReady_ = false;
    bool quitWhenDestroyed_ = false;
    bool unloaded_ = false;
    bool closing_ = false;
    int exitCode_ = 0;
    TableSync sync_;
    win::TableWatch tableWatch_;
    int busyReads_ = 0;
    std::string keptCopy_;
    TableBytes keptVersion_;
    win::UniqueGdi font_;
    win::UniqueGdi plusFont_;
    win::WindowIcons icons_;
    win::NotifyIcon notifyIcon_;
    win::AccessibleNames accessibleNames_;
};

}  // namespace brimlow
