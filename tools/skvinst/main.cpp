// skvinst: Setup for the Skyvora plug-in. A program without a visible window: the creation of its
// hidden main window runs the whole installation (main_sequence.cpp), then the program ends.
#include <windows.h>

#include <commctrl.h>

#include "command_line.h"
#include "main_sequence.h"
#include "resource.h"
#include "setup_state.h"
#include "texts.h"

namespace {

constexpr const char* kWindowClass = "SkvInstAppClass";

HINSTANCE appInstance = nullptr;

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        skvinst::runMainSequence(appInstance, window);
        PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool registerWindowClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int) {
    appInstance = instance;
    if (!previous && !registerWindowClass(instance)) return 1;
    skvinst::setup.showLicense = skvinst::showsLicense(commandLine ? commandLine : "");

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    const HWND window = CreateWindowA(kWindowClass, skvinst::texts::kCaption, WS_OVERLAPPEDWINDOW,
                                      CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                      nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DestroyWindow(window);
    return static_cast<int>(message.wParam);
}
