#include "exchange/XmlSupport.h"

#include "text/RunError.h"

#include <libxml/globals.h>
#include <libxml/parser.h>

#include <mutex>
#include <unordered_set>

namespace exchange {

QString takeXml(xmlChar* s) {
    QString r = fromXml(s);
    if (s)
        xmlFree(s);
    return r;
}

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        registerEncodings();
    });
}

void ErrorCapture::take(const xmlError* e) {
    if (any || !e || e->level < XML_ERR_ERROR)
        return;
    any = true;
    line = e->line;
    message = QString::fromUtf8(e->message ? e->message : "").trimmed();
}

void captureStructured(void* data, xmlErrorPtr error) {
    static_cast<ErrorCapture*>(data)->take(error);
}

namespace {

void ignoreGeneric(void*, const char*, ...) {}

} // namespace

ErrorGuard::ErrorGuard(ErrorCapture& capture)
    : structured_(xmlStructuredError), structuredCtx_(xmlStructuredErrorContext),
      generic_(xmlGenericError), genericCtx_(xmlGenericErrorContext) {
    xmlSetStructuredErrorFunc(&capture, captureStructured);
    xmlSetGenericErrorFunc(nullptr, ignoreGeneric);
}

ErrorGuard::~ErrorGuard() {
    xmlSetStructuredErrorFunc(structuredCtx_, structured_);
    xmlSetGenericErrorFunc(genericCtx_, generic_);
}

QString describe(const xmlNode* n) {
    if (!n)
        return QStringLiteral("(ninguno)");
    if (n->type == XML_DOCUMENT_NODE)
        return QStringLiteral("el documento");
    return QStringLiteral("'%1'").arg(fromXml(n->name));
}

[[noreturn]] void nullNodeError(const char* what) {
    throw RunError(
        QStringLiteral("Operación XML sobre un nodo inexistente: %1.").arg(QLatin1String(what)));
}

// ---------------------------------------------------------------------------------------

DocumentPrivate::DocumentPrivate() {
    initLibrary();
    doc = xmlNewDoc(X("1.0"));
    if (!doc)
        throw RunError(QStringLiteral("No hay memoria para crear un documento XML."));
    doc->_private = this;
}

DocumentPrivate::~DocumentPrivate() {
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

bool Document::ok() const {
    return d->ok;
}

QString Document::errorString() const {
    return d->error;
}

} // namespace exchange
