#include "tables/Folders.h"

namespace tables {

QString workingFolder() {
    return QStringLiteral("C:/TLTEMP");
}

} // namespace tables
