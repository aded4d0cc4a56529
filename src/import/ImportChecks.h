#pragma once

#include "exchange/ExchangeDocument.h"
#include "run/RunHost.h"

#include <QStringList>
#include <optional>

// What would end an import on the way, found before it touches any table, so that a bad
// document or a held table is refused while everything is still as it was. The import
// runs these checks before its first step; `check` lists them.

// The document is one Veltra exported: SERVICIO with BLOQUE_DATOS, not this tool's own
// export. Empty when it is; otherwise why not, naming the file and what to do.
QString envelopeProblem(const exchange::Document& doc, const QString& documentPath);

// The subject catalogue can be read (a table with no rows is fine).
QString catalogueProblem(const QString& catalogPath);

// Values of the document that a step would refuse (catalogue identifiers that are no
// whole number a table can hold), one line each.
QStringList valueProblems(const exchange::Document& doc);

// Every table the import writes is absent, or a regular file no other program holds.
// A special file (FIFO, device) is refused without being opened.
QStringList tableProblems(const QString& workDir);

// All of the above, in that order; the envelope alone when it is wrong.
QStringList problemsBeforeImport(const exchange::Document& doc, const QString& documentPath,
                                 const RunFolders& folders);

// A slot's begin or end (items 2 and 3 of TRAMOS_HORARIOS) as the time-slot step reads
// it: whole minutes, or nullopt.
std::optional<qint32> MinutosDeTramo(const QString& value);
