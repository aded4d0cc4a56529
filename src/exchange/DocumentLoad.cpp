#include "exchange/XmlSupport.h"
#include "text/SystemError.h"

#include "text/RunError.h"

#include <QDir>
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
    int errorCode = 0;   // of the first error kept
    int errorColumn = 0; // 0 when the parser did not say
    QString errorName;   // names and number the parser gave with it
    QString errorName2;
    int errorNumber = 0;
    bool doctype = false;
    int doctypeLine = 0;
    ModelBuilder* builder = nullptr; // reading as a stream
};

void onParserError(void* userData, xmlErrorPtr error) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    const bool first = !state->errors.any;
    state->errors.take(error);
    if (first && state->errors.any) {
        state->errorCode = error->code;
        state->errorColumn = error->int2;
        state->errorName = QString::fromUtf8(error->str1 ? error->str1 : "");
        state->errorName2 = QString::fromUtf8(error->str2 ? error->str2 : "");
        state->errorNumber = error->int1;
    }
}

// The parser's commonest complaints, said in Spanish for the people who read them.
QString spanishParserError(const ParseState& state) {
    const QString& name = state.errorName;
    switch (state.errorCode) {
    case XML_ERR_DOCUMENT_EMPTY:
        return QStringLiteral("el documento está vacío o no empieza por una etiqueta ('<')");
    case XML_ERR_DOCUMENT_END:
        return QStringLiteral("hay contenido después del final del documento");
    case XML_ERR_TAG_NAME_MISMATCH:
        if (name.isEmpty() || state.errorName2.isEmpty())
            return QStringLiteral("la etiqueta de cierre no corresponde a la etiqueta abierta");
        return QStringLiteral("la etiqueta <%1>, abierta en la línea %2, se cierra con </%3>")
            .arg(name)
            .arg(state.errorNumber)
            .arg(state.errorName2);
    case XML_ERR_TAG_NOT_FINISHED:
        return QStringLiteral("el documento termina sin cerrar la etiqueta <%1>; puede que esté "
                              "incompleto")
            .arg(name);
    case XML_ERR_GT_REQUIRED:
        return QStringLiteral("falta el '>' que cierra una etiqueta");
    case XML_ERR_LTSLASH_REQUIRED:
        return QStringLiteral("falta la etiqueta de cierre ('</')");
    case XML_ERR_LT_IN_ATTRIBUTE:
        return QStringLiteral("un valor de atributo contiene '<'");
    case XML_ERR_ATTRIBUTE_NOT_STARTED:
        return QStringLiteral("el valor de un atributo no empieza por comillas");
    case XML_ERR_ATTRIBUTE_NOT_FINISHED:
        return QStringLiteral("el valor de un atributo no termina con comillas");
    case XML_ERR_ATTRIBUTE_WITHOUT_VALUE:
        return QStringLiteral("un atributo no tiene valor");
    case XML_ERR_ATTRIBUTE_REDEFINED:
        return QStringLiteral("una etiqueta repite el atributo '%1'").arg(name);
    case XML_ERR_NAME_REQUIRED:
        return QStringLiteral("falta un nombre; un '&' o un '<' del texto debe escribirse "
                              "'&amp;' o '&lt;'");
    case XML_ERR_ENTITYREF_SEMICOL_MISSING:
        return QStringLiteral("falta el ';' de una referencia que empieza por '&'");
    case XML_ERR_UNDECLARED_ENTITY:
        return QStringLiteral("la entidad '&%1;' no está declarada; un '&' del texto debe "
                              "escribirse '&amp;'")
            .arg(name);
    case XML_ERR_INVALID_CHAR:
        return QStringLiteral("el texto contiene un carácter no permitido en XML");
    case XML_ERR_INVALID_CHARREF:
    case XML_ERR_INVALID_DEC_CHARREF:
    case XML_ERR_INVALID_HEX_CHARREF:
        return QStringLiteral("una referencia de carácter ('&#...;') no es válida");
    case XML_ERR_INVALID_ENCODING:
        return QStringLiteral("el texto no está en la codificación que declara el documento "
                              "(UTF-8 si no declara ninguna)");
    case XML_ERR_UNSUPPORTED_ENCODING:
        return QStringLiteral("la codificación declarada '%1' no se admite").arg(name);
    case XML_ERR_COMMENT_NOT_FINISHED:
        return QStringLiteral("un comentario no está cerrado ('-->')");
    case XML_ERR_CDATA_NOT_FINISHED:
        return QStringLiteral("una sección CDATA no está cerrada (']]>')");
    case XML_ERR_MISPLACED_CDATA_END:
        return QStringLiteral("el texto contiene ']]>', que no está permitido");
    case XML_ERR_RESERVED_XML_NAME:
        return QStringLiteral("la declaración XML solo puede estar al principio del documento");
    case XML_ERR_SPACE_REQUIRED:
        return QStringLiteral("falta un espacio entre dos atributos o nombres");
    default:
        return {};
    }
}

// Where and what the first parser error was: "línea L, columna C: ..." in Spanish, with
// the parser's own words in brackets when there is no Spanish sentence for it.
QString describeParserError(const ParseState& state) {
    QString where = QStringLiteral("línea %1").arg(state.errors.line);
    if (state.errorColumn > 0)
        where += QStringLiteral(", columna %1").arg(state.errorColumn);
    const QString spanish = spanishParserError(state);
    if (!spanish.isEmpty())
        return QStringLiteral("%1: %2.").arg(where, spanish);
    return QStringLiteral("%1: error de sintaxis XML [%2].").arg(where, state.errors.message);
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

// The tree builder's element callbacks, with the model builder told of each element.
void onStartElement(void* userData, const xmlChar* localname, const xmlChar* prefix,
                    const xmlChar* uri, int nbNamespaces, const xmlChar** namespaces,
                    int nbAttributes, int nbDefaulted, const xmlChar** attributes) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    xmlNodePtr before = ctxt->node;
    xmlSAX2StartElementNs(userData, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes,
                          nbDefaulted, attributes);
    if (ctxt->node && ctxt->node != before)
        static_cast<ParseState*>(ctxt->_private)->builder->started(ctxt->node);
}

void onEndElement(void* userData, const xmlChar* localname, const xmlChar* prefix,
                  const xmlChar* uri) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    xmlNodePtr ending = ctxt->node;
    xmlSAX2EndElementNs(userData, localname, prefix, uri);
    if (ending)
        static_cast<ParseState*>(ctxt->_private)->builder->ended(ctxt, ending);
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
std::unique_ptr<DocumentPrivate> parse(const QString& nameForMessages, bool declared, bool stream,
                                       Read&& read) {
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
    auto model = stream ? std::make_unique<Model>() : nullptr;
    std::optional<ModelBuilder> builder;
    if (model) {
        builder.emplace(*model);
        state.builder = &*builder;
        ctxt->sax->startElementNs = onStartElement;
        ctxt->sax->endElementNs = onEndElement;
    }
    // Network off; no entity substitution, no DTD loading, the parser's size limits kept.
    const int options =
        XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;
    const QByteArray url = QFile::encodeName(nameForMessages);
    xmlDocPtr doc = nullptr;
    try {
        doc = read(ctxt, url.constData(), options);
    } catch (...) {
        // Out of memory while keeping the model: the parse is abandoned.
        if (ctxt->myDoc)
            xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
        xmlFreeParserCtxt(ctxt);
        throw;
    }
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
                QStringLiteral("El archivo XML '%1' no es un documento XML bien formado: %2")
                    .arg(nameForMessages, describeParserError(state)));
        return failed(QStringLiteral("El archivo XML '%1' no es un documento XML bien formado.")
                          .arg(nameForMessages));
    }
    auto result = std::make_unique<DocumentPrivate>(doc);
    result->declared = declared;
    if (model) {
        builder->finish(doc);
        result->model = std::move(model);
    }
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

Document Document::loadFile(const QString& path, bool stream) {
    initLibrary();
    QFile f(path);
    // Named in messages as the system writes paths, like every other file we name.
    const QString shown = QDir::toNativeSeparators(path);
    if (QFileInfo(path).isDir() || !f.open(QIODevice::ReadOnly))
        throw RunError(QStringLiteral("No se puede leer el archivo XML '%1': %2")
                           .arg(shown, QFileInfo(path).isDir()
                                           ? QStringLiteral("es una carpeta")
                                           : text::inOurWords(f.errorString())));
    // Streamed from the file rather than read whole first: a large document is then never
    // in memory as bytes beside its tree. The start is looked at for the declaration.
    const bool declared = startsWithDeclaration(f.peek(16));
    FileSource source{&f};
    Document result;
    result.d =
        parse(shown, declared, stream, [&](xmlParserCtxtPtr ctxt, const char* url, int options) {
            return xmlCtxtReadIO(ctxt, readFromFile, closeNoFile, &source, url, nullptr, options);
        });
    if (source.failed || f.error() != QFileDevice::NoError)
        throw RunError(QStringLiteral("No se puede leer el archivo XML '%1': %2")
                           .arg(shown, text::inOurWords(f.errorString())));
    return result;
}

Document Document::loadBytes(const QByteArray& xml, const QString& nameForMessages, bool stream) {
    initLibrary();
    Document result;
    if (xml.size() > INT_MAX) {
        result.d->ok = false;
        result.d->error =
            QStringLiteral("El archivo XML '%1' es demasiado grande.").arg(nameForMessages);
        return result;
    }
    result.d = parse(nameForMessages, startsWithDeclaration(xml), stream,
                     [&](xmlParserCtxtPtr ctxt, const char* url, int options) {
                         return xmlCtxtReadMemory(ctxt, xml.constData(), int(xml.size()), url,
                                                  nullptr, options);
                     });
    return result;
}

Document Document::load(const QString& path) {
    return loadFile(path, true);
}

Document Document::loadTree(const QString& path) {
    return loadFile(path, false);
}

Document Document::fromBytes(const QByteArray& xml, const QString& nameForMessages) {
    return loadBytes(xml, nameForMessages, true);
}

Document Document::treeFromBytes(const QByteArray& xml, const QString& nameForMessages) {
    return loadBytes(xml, nameForMessages, false);
}

} // namespace exchange
