#pragma once

#include <QString>

// How a table's files are found: every operation on a table name resolves it here, once,
// so that opening, testing and deleting act on one and the same file.
namespace tables::detail {

// Where fileName (any letter case) lies in folder, the exact spelling first; empty when
// there is no such file.
QString findFile(const QString& folder, const QString& fileName);
QString findFile(const QString& path);

// The table name without ".DBF" (any letter case).
QString baseName(const QString& name);

} // namespace tables::detail
