#pragma once

// What the parts of the exchange document share: the XML library's types and the few
// helpers around them. Included by the module's own sources only.

#include "exchange/ExchangeDocument.h"

#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace exchange {

// The way from a Node to the library's node and back: a plain cast, no cost.
struct XmlNodes : Node {
    XmlNodes() = delete;
    static Node wrap(xmlNodePtr n) { return fromHandle(reinterpret_cast<Handle*>(n)); }
    static xmlNodePtr raw(const Node& n) { return reinterpret_cast<xmlNodePtr>(handleOf(n)); }
};

inline const xmlChar* X(const char* s) {
    return reinterpret_cast<const xmlChar*>(s);
}

inline QString fromXml(const xmlChar* s) {
    return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString();
}

// Takes ownership of a string that libxml2 allocated.
QString takeXml(xmlChar* s);

inline const xmlChar* utf8(const QByteArray& b) {
    return reinterpret_cast<const xmlChar*>(b.constData());
}

void initLibrary();
// Our own converters, registered with the library once (by initLibrary).
void registerEncodings();

// The first error libxml2 reported while a guard was active.
struct ErrorCapture {
    bool any = false;
    int line = 0;
    QString message;

    void take(const xmlError* e);
};

// An error callback of the library for a context that is an ErrorCapture.
void captureStructured(void* data, xmlErrorPtr error);

// While alive, libxml2 reports to `capture` instead of printing on standard error.
class ErrorGuard {
public:
    explicit ErrorGuard(ErrorCapture& capture);
    ~ErrorGuard();
    ErrorGuard(const ErrorGuard&) = delete;
    ErrorGuard& operator=(const ErrorGuard&) = delete;

private:
    xmlStructuredErrorFunc structured_;
    void* structuredCtx_;
    xmlGenericErrorFunc generic_;
    void* genericCtx_;
};

inline bool isElement(const xmlNode* n) {
    return n && n->type == XML_ELEMENT_NODE;
}

inline bool canHaveChildren(const xmlNode* n) {
    return isElement(n) || (n && n->type == XML_DOCUMENT_NODE);
}

inline xmlAttrPtr attributeAt(const xmlNode* n, int position) {
    if (!isElement(n) || position < 0)
        return nullptr;
    xmlAttrPtr a = n->properties;
    for (int i = 0; a && i < position; ++i)
        a = a->next;
    return a;
}

// The node for messages: its name in quotes, or "el documento".
QString describe(const xmlNode* n);

[[noreturn]] void nullNodeError(const char* what);

class DocumentPrivate {
public:
    DocumentPrivate(); // an empty document
    explicit DocumentPrivate(xmlDocPtr parsed) : doc(parsed) { doc->_private = this; }
    ~DocumentPrivate();
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

} // namespace exchange
