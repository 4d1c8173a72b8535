#include <windows.h>
#include <objbase.h>

#include <cstdlib>

#include "form1.h"
#include "paths.h"
#include "single_instance.h"
#include "start_request.h"
#include "startup_trace.h"
#include "win_errors.h"

// The runtime's default terminate handler prints the exception's demangled
// type, which links the whole C++ demangler (about a fifth of the program)
// into a program that has no console to print to.
#if defined(__GLIBCXX__)
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif

namespace {

// How long a second start waits for the first copy's window: long enough for
// a copy that is still starting, short enough that a copy stuck in its
// start-up error box does not keep the second one waiting.
constexpr DWORD kFirstCopyWaitMs = 4000;

// Runs the main window's message loop until the window is gone. Dialog
// navigation (Tab between the boxes) goes through IsDialogMessage.
int RunMessageLoop(HWND form, HACCEL accelerators) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // Only keys concern the accelerators and dialog navigation; the
        // timer's ten ticks a second go straight to the window.
        const bool key = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
        if (key && IsWindow(form) && accelerators != nullptr && TranslateAcceleratorA(form, accelerators, &msg)) continue;
        if (key && IsWindow(form) && IsDialogMessageA(form, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    BRIMLOW_TRACE_MARK("entry");
    // Every library the program loads comes from its own folder or System32,
    // never from the current directory or PATH.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    BRIMLOW_TRACE_MARK("dll directories");

    // /pause and /resume only pass the request on to the copy of this folder
    // that runs: no window, no file and no registry value, and 1 for a
    // script when there is no such copy.
    const brimlow::StartRequest request = brimlow::StartRequestOf(arguments != nullptr ? arguments : "");
    if (request != brimlow::StartRequest::Run) {
        const bool pause = request == brimlow::StartRequest::Pause;
        return brimlow::win::SingleInstance::PauseRunningCopy(brimlow::win::ModuleFileW().data(), pause,
                                                              kFirstCopyWaitMs)
                   ? 0
                   : 1;
    }

    // Before anything is registered or read: a copy of this folder already
    // runs, so this start only brings that copy's window back.
    brimlow::win::SingleInstance oneCopy;
    if (!oneCopy.IsFirst()) {
        oneCopy.ShowFirstCopy(kFirstCopyWaitMs);
        return 0;
    }

    // The shell and the common dialogs expect a single-threaded apartment.
    // OLE1's DDE is turned off, as the shell's documentation asks of a thread
    // that calls ShellExecute; nothing in the program uses it.
    BRIMLOW_TRACE_MARK("single instance");
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    BRIMLOW_TRACE_MARK("com");

    int exitCode = 0;
    brimlow::Status failed;
    {
        brimlow::Form1 form(instance, brimlow::win::ModuleFolder());
        failed = form.Create();
        BRIMLOW_TRACE_MARK("window created");
        if (!failed) failed = form.Form_Load();
        if (!failed) {
            form.QuitWhenDestroyed(true);
            oneCopy.PublishWindow(form.Hwnd());
            form.ShowMainWindow();
            BRIMLOW_TRACE_MARK("shown");
            BRIMLOW_TRACE_WRITE();
            exitCode = RunMessageLoop(form.Hwnd(), form.Accelerators());
        }
    }
    if (failed) {
        // The window is gone before the box shows: while the box waits, a
        // log-off would otherwise reach the hidden window and save the rows
        // it never loaded over the user's file. Nothing was shown.
        brimlow::win::ShowErrorBox(nullptr, *failed);
        exitCode = 1;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
