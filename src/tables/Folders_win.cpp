#include "tables/Folders.h"

QString workingFolder() {
    return QStringLiteral("C:/TLTEMP");
}
