#include "exchange/XmlSupport.h"

#include "run/RunError.h"

#include <QFile>
#include <QFileInfo>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <climits>
#include <memory>

namespace exchange {

namespace {

// What the parser callbacks learn about one parse.
struct ParseState {
    ErrorCapture errors;
    bool doctype = false;
    int doctypeLine = 0;
};

void onParserError(void* userData, xmlErrorPtr error) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    static_cast<ParseState*>(ctxt->_private)->errors.take(error);
}

// An exchange document never has a DOCTYPE; stopping at its first sign means no entity
// declaration is ever read, so external entities and entity bombs cannot take effect.
void onInternalSubset(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    state->doctype = true;
    state->doctypeLine = xmlSAX2GetLineNumber(ctxt);
    xmlStopParser(ctxt);
}

// True when the bytes start with an XML declaration (after an optional byte order mark,
// in UTF-8 or UTF-16). libxml2 does not record whether the declaration was there.
bool startsWithDeclaration(const QByteArray& bytes) {
    const auto b = [&](qsizetype i) { return i < bytes.size() ? uchar(bytes[i]) : 0u; };
    const char* decl = "<?xml";
    const auto matches = [&](qsizetype start, int step, int offset) {
        for (int i = 0; i < 6; ++i) {
            const qsizetype at = start + i * step;
            const uint c = b(at + offset);
            for (int z = 0; z < step; ++z)
                if (z != offset && b(at + z) != 0)
                    return false;
            if (i < 5 ? c != uchar(decl[i]) : !(c == ' ' || c == '\t' || c == '\r' || c == '\n'))
                return false;
        }
        return true;
    };
    if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF)
        return matches(3, 1, 0);
    if (b(0) == 0xFF && b(1) == 0xFE)
        return matches(2, 2, 0);
    if (b(0) == 0xFE && b(1) == 0xFF)
        return matches(2, 2, 1);
    return matches(0, 1, 0) || matches(0, 2, 0) || matches(0, 2, 1);
}

// Parses with `read(ctxt, url, options)`, which calls one of the library's readers. The
// result is an empty document with ok() false when the text is not a document we read.
template <typename Read>
std::unique_ptr<DocumentPrivate> parse(const QString& nameForMessages, bool declared, Read&& read) {
    auto failed = [&](const QString& message) {
        auto empty = std::make_unique<DocumentPrivate>();
        empty->ok = false;
        empty->error = message;
        return empty;
    };
    ParseState state;
    ErrorGuard guard(state.errors);
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        throw RunError(
            QStringLiteral("No hay memoria para leer el archivo XML '%1'.").arg(nameForMessages));
    ctxt->_private = &state;
    ctxt->sax->serror = onParserError;
    ctxt->sax->internalSubset = onInternalSubset;
    // Network off; no entity substitution, no DTD loading, the parser's size limits kept.
    const int options =
        XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;
    const QByteArray url = QFile::encodeName(nameForMessages);
    xmlDocPtr doc = read(ctxt, url.constData(), options);
    xmlFreeParserCtxt(ctxt);

    if (doc && (state.doctype || doc->intSubset || doc->extSubset)) {
        xmlFreeDoc(doc);
        doc = nullptr;
        state.doctype = true;
    }
    if (state.doctype)
        return failed(
            QStringLiteral("El archivo XML '%1' contiene una declaración DOCTYPE (línea %2); "
                           "un documento de intercambio no la lleva y no se lee.")
                .arg(nameForMessages)
                .arg(state.doctypeLine));
    if (!doc) {
        if (state.errors.any)
            return failed(
                QStringLiteral(
                    "El archivo XML '%1' no es un documento XML bien formado: línea %2: %3")
                    .arg(nameForMessages)
                    .arg(state.errors.line)
                    .arg(state.errors.message));
        return failed(QStringLiteral("El archivo XML '%1' no es un documento XML bien formado.")
                          .arg(nameForMessages));
    }
    auto result = std::make_unique<DocumentPrivate>(doc);
    result->declared = declared;
    return result;
}

// The file being parsed, read by the parser in its own small pieces.
struct FileSource {
    QFile* file;
    bool failed = false;
};

int readFromFile(void* context, char* buffer, int size) {
    auto* source = static_cast<FileSource*>(context);
    const qint64 n = source->file->read(buffer, size);
    if (n < 0) {
        source->failed = true;
        return -1;
    }
    return int(n);
}

int closeNoFile(void*) {
    return 0;
}

} // namespace

Document Document::load(const QString& path) {
    initLibrary();
    QFile f(path);
    if (QFileInfo(path).isDir() || !f.open(QIODevice::ReadOnly))
        throw RunError(QStringLiteral("No se puede leer el archivo XML '%1': %2")
                           .arg(path, QFileInfo(path).isDir() ? QStringLiteral("es una carpeta")
                                                              : f.errorString()));
    // Streamed from the file rather than read whole first: a large document is then never
    // in memory as bytes beside its tree. The start is looked at for the declaration.
    const bool declared = startsWithDeclaration(f.peek(16));
    FileSource source{&f};
    Document result;
    result.d = parse(path, declared, [&](xmlParserCtxtPtr ctxt, const char* url, int options) {
        return xmlCtxtReadIO(ctxt, readFromFile, closeNoFile, &source, url, nullptr, options);
    });
    if (source.failed || f.error() != QFileDevice::NoError)
        throw RunError(
            QStringLiteral("No se puede leer el archivo XML '%1': %2").arg(path, f.errorString()));
    return result;
}

Document Document::fromBytes(const QByteArray& xml, const QString& nameForMessages) {
    initLibrary();
    Document result;
    if (xml.size() > INT_MAX) {
        result.d->ok = false;
        result.d->error =
            QStringLiteral("El archivo XML '%1' es demasiado grande.").arg(nameForMessages);
        return result;
    }
    result.d = parse(nameForMessages, startsWithDeclaration(xml),
                     [&](xmlParserCtxtPtr ctxt, const char* url, int options) {
                         return xmlCtxtReadMemory(ctxt, xml.constData(), int(xml.size()), url,
                                                  nullptr, options);
                     });
    return result;
}

} // namespace exchange
