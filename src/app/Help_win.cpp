#include "app/HelpNative.h"

#include <QDir>
#include <QWidget>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace help::native {

namespace {
using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
constexpr UINT kDisplayTopic = 0x0000;
constexpr UINT kDisplayToc = 0x0001;

// The HTML Help control is loaded when first needed, not linked.
HtmlHelpFn htmlHelp() {
    static HMODULE lib = LoadLibraryW(L"hhctrl.ocx");
    static HtmlHelpFn fn = lib ? reinterpret_cast<HtmlHelpFn>(
                                     reinterpret_cast<void (*)()>(GetProcAddress(lib, "HtmlHelpW")))
                               : nullptr;
    return fn;
}
} // namespace

bool showCompiled(const QString& chm, const QString& page, bool contents, QWidget* owner) {
    HtmlHelpFn fn = htmlHelp();
    if (!fn)
        return false;
    const HWND window = owner ? reinterpret_cast<HWND>(owner->winId()) : nullptr;
    const QString native = QDir::toNativeSeparators(chm);
    if (contents) {
        fn(window, reinterpret_cast<LPCWSTR>(native.utf16()), kDisplayToc, 0);
    } else {
        const QString topic = native + QStringLiteral("::/") + page;
        fn(window, reinterpret_cast<LPCWSTR>(topic.utf16()), kDisplayTopic, 0);
    }
    return true;
}

// The help file is part of the installation here: its absence is reported.
bool htmlWithoutCompiled() {
    return false;
}

} // namespace help::native
