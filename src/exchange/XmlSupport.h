#pragma once

// What the parts of the exchange document share: the XML library's types and the few
// helpers around them. Included by the module's own sources only.

#include "exchange/ExchangeDocument.h"
#include "text/RunError.h"

#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace exchange {

// The way from a Node to the library's node and back: a plain cast, no cost.
struct XmlNodes : Node {
    XmlNodes() = delete;
    static Node wrap(xmlNodePtr n) { return fromHandle(reinterpret_cast<Handle*>(n)); }
    static xmlNodePtr raw(const Node& n) { return reinterpret_cast<xmlNodePtr>(handleOf(n)); }
};

struct Model;

// The way from a Node to what a document read as a stream keeps of it.
struct ModelNodes : Node {
    ModelNodes() = delete;
    using Node::Kind;
    static Node node(const Model* m, Kind kind, unsigned at) { return fromModel(m, kind, at); }
    static const Model* model(const Node& n) { return modelOf(n); }
    static Kind kind(const Node& n) { return kindOf(n); }
    static unsigned index(const Node& n) { return indexOf(n); }
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

[[noreturn]] void nullNodeError(const char* what);

// What a document read as a stream keeps: the envelope's elements with their attributes
// and lines, and the data items' text, all texts one after another in one buffer.
struct Model {
    struct Span {
        quint32 at = 0, size = 0;
    };
    struct Attribute {
        Span name, value;
        bool namespaced = false;
    };
    // The root, the data block, a group or a record.
    struct Element {
        quint32 attributes = 0, attributeCount = 0;
        quint32 items = 0, itemCount = 0;     // its data items, in `items`
        quint32 records = 0, recordCount = 0; // a group's records, in `records`
        int line = 0;
    };
    struct Item {
        quint32 attributes = 0, attributeCount = 0;
        Span text;        // all character data inside, entities resolved
        qint32 kept = -1; // an item that is not plain text: its copy in `keptItems`
        int line = 0;
    };

    QString chars;
    QHash<QString, Span> interned; // names and attribute values, which repeat
    // In blocks rather than one array: a large document's are never copied to grow, nor
    // held twice while they are.
    std::deque<Attribute> attributes;
    std::deque<Item> items;
    std::vector<Element> groups, records;
    std::optional<Element> root;  // /SERVICIO
    std::optional<Element> block; // the first /SERVICIO/BLOQUE_DATOS
    std::optional<QString> firstDataText;
    // Items with more than text inside (or unusual attributes), copied whole so that
    // their serialised form is the tree's; and a document to write items out in.
    xmlDocPtr keptItems = nullptr;
    std::vector<xmlNodePtr> kept;

    Model();
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    QString text(Span s) const { return QString(chars.constData() + s.at, qsizetype(s.size)); }
    QStringView view(Span s) const { return QStringView(chars).mid(s.at, s.size); }
    Span add(QStringView s);
    Span intern(const QString& s);
    QString itemXml(const Item& item) const;
    // The first attribute of that name whatever its namespace, as Node::attribute reads it.
    QString attribute(quint32 first, quint32 count, const QString& name) const;
    // The value of the attribute of that name outside any namespace, as XPath's @name.
    std::optional<QString> plainAttribute(const Element& e, QLatin1String name) const;
};

// Builds a Model from the parser's tree while the parser makes it: told of each element
// when it starts and when it ends, it keeps what the model needs and frees what has been
// read, so that the tree never holds more than the path to the element being read.
class ModelBuilder {
public:
    explicit ModelBuilder(Model& model) : m_(model) {}
    void started(xmlNodePtr element);
    void ended(xmlParserCtxtPtr ctxt, xmlNodePtr element);
    // After a parse that succeeded: the document's final encoding, for writing items.
    void finish(xmlDocPtr doc);

private:
    enum class Kind : unsigned char { Root, Block, FirstBlock, Group, Record, Item, Other };
    struct Open {
        Kind kind;
        xmlNodePtr node;
    };
    Model& m_;
    std::vector<Open> open_;
    std::vector<Model::Item> groupItems_, recordItems_;
    xmlNodePtr capture_ = nullptr; // the data block's first child, read whole at its end
    bool decided_ = false;         // the data block's first child was found

    void attributesOf(const xmlNode* n, quint32& first, quint32& count);
    Model::Item item(const xmlNode* n);
    void decideFirst(const xmlNode* block, const xmlNode* upTo);
    void release(xmlParserCtxtPtr ctxt, xmlNodePtr n);
};

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
    // Read as a stream: what was kept; the tree then holds the prolog only.
    std::unique_ptr<Model> model;

    // The sink refused bytes (the disk is full, say): the caller knows what to say.
    struct WriteFailed {};
    // Writes the whole document as save and toBytes give it; throws RunError or WriteFailed.
    void write(const std::function<bool(const char*, int)>& sink) const;
};

} // namespace exchange
