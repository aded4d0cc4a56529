#include "exchange/ExchangeDocument.h"

#include "text/Clipper.h"
#include "run/RunError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <libxml/SAX2.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_set>
#include <vector>

namespace exchange {

namespace {

const xmlChar* X(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

QString fromXml(const xmlChar* s) {
    return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString();
}

// Takes ownership of a string that libxml2 allocated.
QString takeXml(xmlChar* s) {
    QString r = fromXml(s);
    if (s)
        xmlFree(s);
    return r;
}

const xmlChar* utf8(const QByteArray& b) {
    return reinterpret_cast<const xmlChar*>(b.constData());
}

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// The first error libxml2 reported while a guard was active.
struct ErrorCapture {
    bool any = false;
    int line = 0;
    QString message;

    void take(const xmlError* e) {
        if (any || !e || e->level < XML_ERR_ERROR)
            return;
        any = true;
        line = e->line;
        message = QString::fromUtf8(e->message ? e->message : "").trimmed();
    }
};

void captureStructured(void* data, xmlErrorPtr error) {
    static_cast<ErrorCapture*>(data)->take(error);
}

void ignoreGeneric(void*, const char*, ...) {}

// While alive, libxml2 reports to `capture` instead of printing on standard error.
class ErrorGuard {
public:
    explicit ErrorGuard(ErrorCapture& capture)
        : structured_(xmlStructuredError), structuredCtx_(xmlStructuredErrorContext),
          generic_(xmlGenericError), genericCtx_(xmlGenericErrorContext) {
        xmlSetStructuredErrorFunc(&capture, captureStructured);
        xmlSetGenericErrorFunc(nullptr, ignoreGeneric);
    }
    ~ErrorGuard() {
        xmlSetStructuredErrorFunc(structuredCtx_, structured_);
        xmlSetGenericErrorFunc(genericCtx_, generic_);
    }
    ErrorGuard(const ErrorGuard&) = delete;
    ErrorGuard& operator=(const ErrorGuard&) = delete;

private:
    xmlStructuredErrorFunc structured_;
    void* structuredCtx_;
    xmlGenericErrorFunc generic_;
    void* genericCtx_;
};

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

bool isElement(const xmlNode* n) {
    return n && n->type == XML_ELEMENT_NODE;
}

bool canHaveChildren(const xmlNode* n) {
    return isElement(n) || (n && n->type == XML_DOCUMENT_NODE);
}

bool canBeChild(const xmlNode* n) {
    switch (n->type) {
    case XML_ELEMENT_NODE:
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return true;
    default:
        return false;
    }
}

QString describe(const xmlNode* n) {
    if (!n)
        return QStringLiteral("(ninguno)");
    if (n->type == XML_DOCUMENT_NODE)
        return QStringLiteral("el documento");
    return QStringLiteral("'%1'").arg(fromXml(n->name));
}

// Links `child` (already unlinked) as the last child of `parent`. Done by hand because
// xmlAddChild merges adjacent text nodes and frees the one added, which would leave a
// dangling Node behind.
void linkLast(xmlNodePtr parent, xmlNodePtr child) {
    child->parent = parent;
    child->next = nullptr;
    child->prev = parent->last;
    if (parent->last)
        parent->last->next = child;
    else
        parent->children = child;
    parent->last = child;
}

// A new text node. A document being built has a million short texts (names, codes,
// numbers): those are kept inside the node itself, where the parser keeps them too
// (XML_PARSE_COMPACT: the text in the node's unused attribute and namespace fields, which
// the library knows when it changes or frees the node), instead of in a block of their own.
xmlNodePtr newTextNode(xmlDocPtr doc, const QByteArray& text) {
    xmlNodePtr tn = xmlNewDocText(doc, nullptr);
    if (!tn)
        return nullptr;
    const auto size = std::size_t(text.size());
    if (size < 2 * sizeof(void*)) {
        auto* inside = reinterpret_cast<xmlChar*>(&tn->properties);
        std::memcpy(inside, text.constData(), size);
        inside[size] = 0;
        tn->content = inside;
        return tn;
    }
    tn->content = xmlStrndup(utf8(text), int(size));
    if (!tn->content) {
        xmlFreeNode(tn);
        return nullptr;
    }
    return tn;
}

xmlAttrPtr attributeAt(const xmlNode* n, int position) {
    if (!isElement(n) || position < 0)
        return nullptr;
    xmlAttrPtr a = n->properties;
    for (int i = 0; a && i < position; ++i)
        a = a->next;
    return a;
}

// libxml2 writes a control character as it is, and the saved file would then not be
// XML at all: such text is refused before it gets into the document.
// `where` names the place for the message, built only when there is one to give.
template <typename Where> void checkXmlChars(const QString& text, Where&& where) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        bool bad = (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) || c == 0xFFFE || c == 0xFFFF;
        if (QChar::isHighSurrogate(c)) {
            bad = i + 1 >= text.size() || !QChar::isLowSurrogate(text.at(i + 1).unicode());
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            bad = true;
        }
        if (bad)
            throw RunError(
                QStringLiteral(
                    "El texto para %1 contiene un carácter que XML no admite (U+%2, posición %3).")
                    .arg(where())
                    .arg(uint(c), 4, 16, QLatin1Char('0'))
                    .arg(i + 1));
    }
}

[[noreturn]] void nullNodeError(const char* what) {
    throw RunError(
        QStringLiteral("Operación XML sobre un nodo inexistente: %1.").arg(QLatin1String(what)));
}

} // namespace

// ---------------------------------------------------------------------------------------

class DocumentPrivate {
public:
    DocumentPrivate() {
        initLibrary();
        doc = xmlNewDoc(X("1.0"));
        if (!doc)
            throw RunError(QStringLiteral("No hay memoria para crear un documento XML."));
        doc->_private = this;
    }
    explicit DocumentPrivate(xmlDocPtr parsed) : doc(parsed) { doc->_private = this; }

    ~DocumentPrivate() {
        // Nodes taken out of the tree (or created and never added) belong to us until the
        // document goes. Collect the roots of those loose trees first: freeing one may free
        // another that was appended under it.
        std::unordered_set<xmlNodePtr> roots;
        for (xmlNodePtr n : detached)
            if (!n->parent)
                roots.insert(n);
        for (xmlNodePtr n : roots)
            xmlFreeNode(n);
        xmlFreeDoc(doc);
    }
    DocumentPrivate(const DocumentPrivate&) = delete;
    DocumentPrivate& operator=(const DocumentPrivate&) = delete;

    static DocumentPrivate* of(const xmlNode* n) {
        return static_cast<DocumentPrivate*>(n->doc->_private);
    }

    xmlDocPtr doc = nullptr;
    bool ok = true;
    QString error;
    bool declared = false; // the loaded bytes began with an XML declaration
    std::vector<xmlNodePtr> detached;

    // The sink refused bytes (the disk is full, say): the caller knows what to say.
    struct WriteFailed {};
    // Writes the whole document as save and toBytes give it; throws RunError or WriteFailed.
    void write(const std::function<bool(const char*, int)>& sink) const;
};

namespace {

void detach(xmlNodePtr n) {
    xmlUnlinkNode(n);
    DocumentPrivate::of(n)->detached.push_back(n);
}

// Evaluates an XPath expression on the document; `name`, when given, is bound to $name
// so that any text can be compared without building it into the expression.
NodeList evaluate(xmlDocPtr doc, const QString& expression, const QString* name, auto makeNode) {
    NodeList result;
    ErrorCapture errors;
    ErrorGuard guard(errors);
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx)
        throw RunError(
            QStringLiteral("No hay memoria para evaluar la expresión XPath '%1'.").arg(expression));
    ctx->error = captureStructured;
    ctx->userData = &errors;
    if (name)
        xmlXPathRegisterVariable(ctx, X("name"), xmlXPathNewString(utf8(name->toUtf8())));
    const QByteArray expr = expression.toUtf8();
    xmlXPathObjectPtr obj = xmlXPathEvalExpression(utf8(expr), ctx);
    xmlXPathFreeContext(ctx);
    if (!obj)
        throw RunError(
            QStringLiteral("Expresión XPath no válida '%1': %2").arg(expression, errors.message));
    if (obj->type != XPATH_NODESET) {
        xmlXPathFreeObject(obj);
        throw RunError(
            QStringLiteral("La expresión XPath '%1' no selecciona nodos.").arg(expression));
    }
    if (xmlNodeSetPtr set = obj->nodesetval) {
        result.reserve(set->nodeNr);
        for (int i = 0; i < set->nodeNr; ++i)
            if (set->nodeTab[i]->type != XML_NAMESPACE_DECL) // copies, freed with the result
                result.append(makeNode(set->nodeTab[i]));
    }
    xmlXPathFreeObject(obj);
    return result;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Node

QString Node::name() const {
    if (!n_)
        return {};
    switch (n_->type) {
    case XML_TEXT_NODE:
        return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE:
        return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE:
        return QStringLiteral("#comment");
    default:
        return fromXml(n_->name);
    }
}

bool Node::isElement() const {
    return exchange::isElement(n_);
}

QString Node::text() const {
    // An element holding one piece of text, the usual data item, is read in place.
    if (exchange::isElement(n_) && n_->children && n_->children == n_->last &&
        n_->children->type == XML_TEXT_NODE && n_->children->content)
        return fromXml(n_->children->content);
    return n_ ? takeXml(xmlNodeGetContent(n_)) : QString();
}

QString Node::xml() const {
    if (!n_)
        return {};
    xmlBufferPtr buf = xmlBufferCreate();
    if (!buf)
        throw RunError(
            QStringLiteral("No hay memoria para escribir el nodo XML %1.").arg(describe(n_)));
    ErrorCapture errors;
    ErrorGuard guard(errors);
    xmlNodeDump(buf, n_->doc, n_, 0, 0);
    QString r = QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buf)),
                                  xmlBufferLength(buf));
    xmlBufferFree(buf);
    return r;
}

int Node::lineNumber() const {
    return n_ ? int(xmlGetLineNo(n_)) : 0;
}

Node Node::firstChild() const {
    if (!canHaveChildren(n_) && !(n_ && n_->type == XML_ATTRIBUTE_NODE))
        return {};
    return Node(n_->children);
}

QList<Node> Node::children() const {
    QList<Node> r;
    if (!canHaveChildren(n_))
        return r;
    r.reserve(childCount());
    for (xmlNodePtr c = n_->children; c; c = c->next)
        r.append(Node(c));
    return r;
}

int Node::childCount() const {
    if (!canHaveChildren(n_))
        return 0;
    int count = 0;
    for (xmlNodePtr c = n_->children; c; c = c->next)
        ++count;
    return count;
}

QList<Node> Node::elementChildren(const QString& name) const {
    QList<Node> r;
    if (!canHaveChildren(n_))
        return r;
    const QByteArray wanted = name.toUtf8();
    for (xmlNodePtr c = n_->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && !c->ns && xmlStrEqual(c->name, utf8(wanted)))
            r.append(Node(c));
    return r;
}

QString Node::attribute(const QString& name) const {
    if (!exchange::isElement(n_))
        return {};
    return takeXml(xmlGetProp(n_, utf8(name.toUtf8())));
}

void Node::setAttribute(const QString& name, const QString& value) {
    if (!n_)
        nullNodeError("asignar un atributo");
    if (!exchange::isElement(n_))
        throw RunError(
            QStringLiteral("No se puede asignar el atributo '%1' a %2: no es un elemento.")
                .arg(name, describe(n_)));
    const QByteArray n = name.toUtf8();
    if (xmlValidateName(utf8(n), 0) != 0)
        throw RunError(QStringLiteral("Nombre de atributo XML no válido: '%1'.").arg(name));
    checkXmlChars(value,
                  [&] { return QStringLiteral("el atributo '%1' de %2").arg(name, describe(n_)); });
    // xmlSetProp keeps an existing attribute in its place and appends a new one, which is
    // the first-set order; the value is stored as text, not parsed for entities.
    const auto failed = [&] {
        return RunError(
            QStringLiteral("No se puede asignar el atributo '%1' a %2.").arg(name, describe(n_)));
    };
    if (n.contains(':')) { // a prefixed name: the library finds its namespace
        if (!xmlSetProp(n_, utf8(n), utf8(value.toUtf8())))
            throw failed();
        return;
    }
    // Set empty first, then given its text as every other text node gets it.
    xmlAttrPtr a = xmlSetProp(n_, utf8(n), nullptr);
    if (!a)
        throw failed();
    xmlNodePtr tn = newTextNode(n_->doc, value.toUtf8());
    if (!tn)
        throw failed();
    tn->parent = reinterpret_cast<xmlNodePtr>(a);
    a->children = a->last = tn;
}

void Node::setAttribute(const QString& name, qint64 value) {
    setAttribute(name, QString::number(value));
}

int Node::attributeCount() const {
    int count = 0;
    if (exchange::isElement(n_))
        for (xmlAttrPtr a = n_->properties; a; a = a->next)
            ++count;
    return count;
}

QString Node::attributeValue(int position) const {
    xmlAttrPtr a = attributeAt(n_, position);
    return a ? takeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a))) : QString();
}

void Node::setAttributeValue(int position, const QString& value) {
    if (!n_)
        nullNodeError("asignar un atributo por posición");
    xmlAttrPtr a = attributeAt(n_, position);
    if (!a)
        throw RunError(
            QStringLiteral("El elemento %1 no tiene atributo en la posición %2 (tiene %3).")
                .arg(describe(n_))
                .arg(position)
                .arg(attributeCount()));
    checkXmlChars(value, [&] {
        return QStringLiteral("el atributo '%1' de %2").arg(fromXml(a->name), describe(n_));
    });
    if (!xmlSetNsProp(n_, a->ns, a->name, utf8(value.toUtf8())))
        throw RunError(QStringLiteral("No se puede asignar el atributo '%1' de %2.")
                           .arg(fromXml(a->name), describe(n_)));
}

void Node::setText(const QString& text) {
    if (!n_)
        nullNodeError("asignar el texto");
    checkXmlChars(text, [&] { return describe(n_); });
    const QByteArray t = text.toUtf8();
    switch (n_->type) {
    case XML_ELEMENT_NODE: {
        // Old children are kept alive (a caller may still hold them) until the document goes.
        while (n_->children)
            detach(n_->children);
        if (!text.isEmpty()) {
            xmlNodePtr tn = newTextNode(n_->doc, t);
            if (!tn)
                throw RunError(
                    QStringLiteral("No hay memoria para el texto de %1.").arg(describe(n_)));
            linkLast(n_, tn);
        }
        return;
    }
    case XML_ATTRIBUTE_NODE: {
        auto* a = reinterpret_cast<xmlAttrPtr>(n_);
        if (!xmlSetNsProp(a->parent, a->ns, a->name, utf8(t)))
            throw RunError(QStringLiteral("No se puede asignar el atributo %1.").arg(describe(n_)));
        return;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        xmlNodeSetContent(n_, utf8(t)); // stored as is for these kinds
        return;
    default:
        throw RunError(QStringLiteral("No se puede asignar el texto de %1.").arg(describe(n_)));
    }
}

namespace {

void appendTo(xmlNodePtr parent, xmlNodePtr child) {
    if (!child)
        nullNodeError("añadir un hijo");
    if (!canHaveChildren(parent))
        throw RunError(QStringLiteral("No se puede añadir %1 a %2: no admite hijos.")
                           .arg(describe(child), describe(parent)));
    if (child->doc != parent->doc)
        throw RunError(QStringLiteral("No se puede añadir %1 a %2: pertenece a otro documento.")
                           .arg(describe(child), describe(parent)));
    if (!canBeChild(child))
        throw RunError(QStringLiteral("No se puede añadir %1 como hijo de %2.")
                           .arg(describe(child), describe(parent)));
    for (xmlNodePtr a = parent; a; a = a->parent)
        if (a == child)
            throw RunError(
                QStringLiteral("No se puede añadir %1 dentro de sí mismo.").arg(describe(child)));
    if (parent->type == XML_DOCUMENT_NODE) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)
            throw RunError(
                QStringLiteral("No se puede añadir texto fuera del elemento raíz del documento."));
        if (child->type == XML_ELEMENT_NODE) {
            xmlNodePtr root = xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(parent));
            if (root && root != child)
                throw RunError(
                    QStringLiteral(
                        "No se puede añadir %1: el documento ya tiene el elemento raíz %2.")
                        .arg(describe(child), describe(root)));
        }
    }
    // A loose node stays in the detached list; it is skipped at the end while it has a parent.
    // One created just before being added, the usual way of building, leaves the list
    // again, so the list does not grow with every node of a document being built.
    xmlUnlinkNode(child);
    linkLast(parent, child);
    std::vector<xmlNodePtr>& detached = DocumentPrivate::of(child)->detached;
    if (!detached.empty() && detached.back() == child)
        detached.pop_back();
}

void removeFrom(xmlNodePtr parent, xmlNodePtr child) {
    if (!child)
        nullNodeError("quitar un hijo");
    if (child->parent != parent || !canBeChild(child))
        throw RunError(QStringLiteral("No se puede quitar %1: no es hijo de %2.")
                           .arg(describe(child), describe(parent)));
    detach(child);
}

void deleteFrom(xmlNodePtr parent, xmlNodePtr child) {
    if (!child)
        nullNodeError("borrar un hijo");
    if (child->parent != parent || !canBeChild(child))
        throw RunError(QStringLiteral("No se puede borrar %1: no es hijo de %2.")
                           .arg(describe(child), describe(parent)));
    xmlUnlinkNode(child);
    // Loose nodes added somewhere inside it go with it.
    std::erase_if(DocumentPrivate::of(child)->detached, [child](xmlNodePtr n) {
        for (xmlNodePtr a = n; a; a = a->parent)
            if (a == child)
                return true;
        return false;
    });
    xmlFreeNode(child);
}

} // namespace

void Node::appendChild(Node child) {
    if (!n_)
        nullNodeError("añadir un hijo");
    appendTo(n_, child.n_);
}

void Node::removeChild(Node child) {
    if (!n_)
        nullNodeError("quitar un hijo");
    removeFrom(n_, child.n_);
}

void Node::deleteChild(Node child) {
    if (!n_)
        nullNodeError("borrar un hijo");
    deleteFrom(n_, child.n_);
}

// ---------------------------------------------------------------------------------------
// Document

Document::Document() : d(std::make_unique<DocumentPrivate>()) {}
Document::~Document() = default;

Document::Document(Document&& o) noexcept : Document() {
    std::swap(d, o.d);
}

Document& Document::operator=(Document&& o) noexcept {
    std::swap(d, o.d);
    return *this;
}

namespace {

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

bool Document::ok() const {
    return d->ok;
}

QString Document::errorString() const {
    return d->error;
}

NodeList Document::topLevelGroups() const {
    return select(QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos"));
}

NodeList Document::recordsOf(const QString& group) const {
    return evaluate(d->doc,
                    QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=$name]/grupo_datos"),
                    &group, [](xmlNodePtr n) { return Node(n); });
}

NodeList Document::select(const QString& xpath) const {
    return evaluate(d->doc, xpath, nullptr, [](xmlNodePtr n) { return Node(n); });
}

Node Document::selectSingle(const QString& xpath) const {
    const NodeList nodes = select(xpath);
    return nodes.isEmpty() ? Node() : nodes.first();
}

Node Document::root() const {
    return Node(xmlDocGetRootElement(d->doc));
}

Node Document::createElement(const QString& name) {
    const QByteArray n = name.toUtf8();
    if (xmlValidateName(utf8(n), 0) != 0)
        throw RunError(QStringLiteral("Nombre de elemento XML no válido: '%1'.").arg(name));
    xmlNodePtr e = xmlNewDocNode(d->doc, nullptr, utf8(n), nullptr);
    if (!e)
        throw RunError(QStringLiteral("No hay memoria para crear el elemento XML '%1'.").arg(name));
    d->detached.push_back(e);
    return Node(e);
}

void Document::appendChild(Node child) {
    appendTo(reinterpret_cast<xmlNodePtr>(d->doc), child.n_);
}

void Document::removeChild(Node child) {
    removeFrom(reinterpret_cast<xmlNodePtr>(d->doc), child.n_);
}

void Document::deleteChild(Node child) {
    deleteFrom(reinterpret_cast<xmlNodePtr>(d->doc), child.n_);
}

QList<Node> Document::topLevelNodes() const {
    QList<Node> r;
    for (xmlNodePtr c = d->doc->children; c; c = c->next)
        r.append(Node(c));
    return r;
}

QString Document::encoding() const {
    return fromXml(d->doc->encoding);
}

namespace {

// Where a document is written: a file being saved or bytes in memory.
using Sink = std::function<bool(const char* data, int size)>;

struct SinkContext {
    const Sink* sink;
    bool refused = false;
};

int writeToSink(void* context, const char* data, int size) {
    auto* c = static_cast<SinkContext*>(context);
    if ((*c->sink)(data, size))
        return size;
    c->refused = true;
    return -1;
}

int closeNothing(void*) {
    return 0;
}

} // namespace

void DocumentPrivate::write(const Sink& sink) const {
    // With a declaration: the encoding it names. A declaration that names none means
    // UTF-8; libxml2 would then escape every non-ASCII character, so that case writes the
    // declaration itself and lets libxml2 write the rest as UTF-8.
    const bool libraryDeclaration = declared && doc->encoding;
    const char* encoding =
        libraryDeclaration ? reinterpret_cast<const char*>(doc->encoding) : "UTF-8";
    const int options = libraryDeclaration ? 0 : XML_SAVE_NO_DECL;

    if (declared && !doc->encoding) {
        QByteArray decl =
            "<?xml version=\"" +
            QByteArray(doc->version ? reinterpret_cast<const char*>(doc->version) : "1.0") + '"';
        if (doc->standalone == 1)
            decl += " standalone=\"yes\"";
        else if (doc->standalone == 0)
            decl += " standalone=\"no\"";
        decl += "?>\n";
        if (!sink(decl.constData(), int(decl.size())))
            throw WriteFailed();
    }

    ErrorCapture errors;
    ErrorGuard guard(errors);
    // Straight to the sink in the library's own small pieces: a large document is never
    // held twice in memory on its way out.
    SinkContext context{&sink};
    xmlSaveCtxtPtr save = xmlSaveToIO(writeToSink, closeNothing, &context, encoding, options);
    if (!save)
        throw RunError(
            QStringLiteral("No se puede escribir el documento XML en la codificación '%1'.")
                .arg(QLatin1String(encoding)));
    const long written = xmlSaveDoc(save, doc);
    const int closed = xmlSaveClose(save);
    if (context.refused)
        throw WriteFailed();
    if (written < 0 || closed < 0) {
        throw RunError(
            QStringLiteral("No se puede escribir el documento XML: %1").arg(errors.message));
    }
}

QByteArray Document::toBytes() const {
    QByteArray out;
    d->write([&out](const char* data, int size) {
        out.append(data, size);
        return true;
    });
    return out;
}

void Document::save(const QString& path) const {
    // Written beside the target and renamed over it, so a failed save leaves the old file
    // (or none) instead of half a document.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw RunError(QStringLiteral("No se puede guardar el documento XML '%1': %2")
                           .arg(path, f.errorString()));
    try {
        d->write([&f](const char* data, int size) { return f.write(data, size) == size; });
    } catch (const DocumentPrivate::WriteFailed&) {
        throw RunError(QStringLiteral("No se puede guardar el documento XML '%1': %2")
                           .arg(path, f.errorString()));
    }
    if (!f.commit())
        throw RunError(QStringLiteral("No se puede guardar el documento XML '%1': %2")
                           .arg(path, f.errorString()));
}

// ---------------------------------------------------------------------------------------
// Items

NodeList dataItems(const Node& recordOrGroup) {
    return recordOrGroup.elementChildren(QStringLiteral("dato"));
}

QString itemText(const NodeList& items, int k) {
    return k >= 0 && k < items.size() ? items.at(k).text() : QString();
}

QString itemValue(const NodeList& items, int k) {
    return AllTrim(itemText(items, k));
}

QString itemXmlText(const NodeList& items, int k) {
    return k >= 0 && k < items.size() ? AllTrim(items.at(k).xml()) : QString();
}

namespace {

// Characters that come out of the writer as they are, whatever the encoding.
bool plainAscii(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
               u == u'_';
    });
}

// The value of a plain <dato xxxxxxxxxxx="..."> first attribute, where the written item's
// characters from the 20th on are that value escaped; false when it is not such an item.
bool firstAttributeAtNineteen(const xmlNode* n, const xmlChar** value) {
    if (!isElement(n) || n->ns || n->nsDef || !xmlStrEqual(n->name, X("dato")))
        return false;
    const xmlAttr* a = n->properties;
    if (!a || a->ns || xmlStrlen(a->name) != 11)
        return false;
    if (!a->children) {
        *value = X("");
        return true;
    }
    if (a->children != a->last || a->children->type != XML_TEXT_NODE || !a->children->content)
        return false;
    *value = a->children->content;
    return true;
}

} // namespace

bool itemNameIs(const NodeList& items, int k, const QString& name) {
    if (k < 0 || k >= items.size())
        return false;
    // Escaping only ever puts "&" where a character was, so for a name of plain
    // characters comparing the stored value's start gives what comparing the written
    // item gives, without writing it.
    const xmlChar* value = nullptr;
    if (plainAscii(name) && firstAttributeAtNineteen(items.at(k).n_, &value)) {
        const QByteArray wanted = name.toLatin1();
        return std::strncmp(reinterpret_cast<const char*>(value), wanted.constData(),
                            std::size_t(wanted.size())) == 0;
    }
    // The item written out starts with the fixed 19 characters <dato nombre_dato=" when
    // the name is the first attribute; the test compares what follows them.
    return itemXmlText(items, k).mid(19, name.size()) == name;
}

} // namespace exchange
