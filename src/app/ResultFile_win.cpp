#include "app/ResultFile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

bool writeProfileString(const QString& path, const QString& section, const QString& key,
                        const QString& value) {
    return WritePrivateProfileStringW(reinterpret_cast<LPCWSTR>(section.utf16()),
                                      reinterpret_cast<LPCWSTR>(key.utf16()),
                                      reinterpret_cast<LPCWSTR>(value.utf16()),
                                      reinterpret_cast<LPCWSTR>(path.utf16())) != 0;
}
