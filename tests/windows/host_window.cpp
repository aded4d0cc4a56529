// A stand-in for Tempolan on Windows: it creates its window, starts VeltraTempolan.exe
// embedded in it ("exportar HANDLE", the import) as Tempolan does, and reports on standard
// output what a test checks: whether the tool's window became a child of the host's, how
// the tool ended, and the value Tempolan would then read from Tempolan.ini.
//
//   vt_host_window PROGRAM.exe ACTION   (ACTION: exportar or importar)
//
// Exit code 0 when the tool's window was the host's child and Tempolan.ini holds 1.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

const wchar_t kTitle[] = L"Exportar e importar datos entre Tempolan y Veltra";

LRESULT CALLBACK hostProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

struct Search {
    HWND found = nullptr;
};

BOOL CALLBACK findTool(HWND w, LPARAM data) {
    wchar_t title[256] = {};
    GetWindowTextW(w, title, 256);
    if (std::wcscmp(title, kTitle) == 0) {
        reinterpret_cast<Search*>(data)->found = w;
        return FALSE;
    }
    return TRUE;
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "uso: vt_host_window PROGRAMA.exe exportar|importar\n");
        return 2;
    }
    const std::wstring program = argv[1];
    const std::wstring action = argv[2];

    WNDCLASSW wc{};
    wc.lpfnWndProc = hostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TempolanAnfitrion";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    HWND host = CreateWindowExW(0, wc.lpszClassName, L"Tempolan anfitrion",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20, 20, 760, 460, nullptr,
                                nullptr, wc.hInstance, nullptr);
    if (!host) {
        std::fprintf(stderr, "no se pudo crear la ventana anfitriona\n");
        return 1;
    }
    ShowWindow(host, SW_SHOW);
    UpdateWindow(host);
    std::printf("anfitriona %llx\n",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(host)));
    std::fflush(stdout);

    // As Tempolan starts it: the action word and the window handle in hexadecimal.
    wchar_t handle[32];
    std::swprintf(handle, 32, L"%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(host)));
    std::wstring command = L"\"" + program + L"\" " + action + L" " + handle;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &si, &pi)) {
        std::fprintf(stderr, "no se pudo iniciar la herramienta (%lu)\n", GetLastError());
        return 1;
    }

    // The tool's window, once it appears, must be a child of ours.
    bool child = false;
    bool seen = false;
    for (int i = 0; i < 600 && !seen; ++i) { // up to a minute
        pump();
        Search s;
        EnumChildWindows(host, findTool, reinterpret_cast<LPARAM>(&s));
        if (s.found) {
            seen = true;
            child = IsChild(host, s.found) && GetAncestor(s.found, GA_ROOT) == host;
            if (!child)
                std::printf("dentro %d raiz %llx estilo %lx\n", int(IsChild(host, s.found)),
                            static_cast<unsigned long long>(
                                reinterpret_cast<UINT_PTR>(GetAncestor(s.found, GA_ROOT))),
                            static_cast<unsigned long>(GetWindowLongPtrW(s.found, GWL_STYLE)));
        } else {
            Search top;
            EnumWindows(findTool, reinterpret_cast<LPARAM>(&top));
            if (top.found && IsWindowVisible(top.found)) {
                seen = true; // a top-level window of its own: not embedded
                std::printf("propia %llx estilo %lx\n",
                            static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(top.found)),
                            static_cast<unsigned long>(GetWindowLongPtrW(top.found, GWL_STYLE)));
            }
        }
        if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0)
            break;
    }
    std::printf("hija %s\n", child ? "si" : "no");
    std::fflush(stdout);

    // Keep serving our window until the tool ends (it runs its dialogs meanwhile).
    while (WaitForSingleObject(pi.hProcess, 50) == WAIT_TIMEOUT)
        pump();
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);

    // Tempolan.ini beside the program, read as Tempolan reads it.
    std::wstring ini = program.substr(0, program.find_last_of(L"\\/") + 1) + L"Tempolan.ini";
    const int value =
        int(GetPrivateProfileIntW(L"Transformadores", L"Transformado", 12345, ini.c_str()));
    std::printf("salida %lu\nTransformado %d\n", code, value);
    std::fflush(stdout);
    DestroyWindow(host);
    return child && value == 1 ? 0 : 1;
}
