#include "exchange/XmlSupport.h"

#include "run/RunError.h"
#include "text/Clipper.h"

#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <algorithm>
#include <cstring>

namespace exchange {

namespace {

// Evaluates an XPath expression on the document.
NodeList evaluate(xmlDocPtr doc, const QString& expression, auto makeNode) {
    NodeList result;
    ErrorCapture errors;
    ErrorGuard guard(errors);
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx)
        throw RunError(
            QStringLiteral("No hay memoria para evaluar la expresión XPath '%1'.").arg(expression));
    ctx->error = captureStructured;
    ctx->userData = &errors;
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
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!self)
        return {};
    switch (self->type) {
    case XML_TEXT_NODE:
        return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE:
        return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE:
        return QStringLiteral("#comment");
    default:
        return fromXml(self->name);
    }
}

bool Node::isElement() const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    return exchange::isElement(self);
}

QString Node::text() const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    // An element holding one piece of text, the usual data item, is read in place.
    if (exchange::isElement(self) && self->children && self->children == self->last &&
        self->children->type == XML_TEXT_NODE && self->children->content)
        return fromXml(self->children->content);
    return self ? takeXml(xmlNodeGetContent(self)) : QString();
}

QString Node::xml() const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!self)
        return {};
    xmlBufferPtr buf = xmlBufferCreate();
    if (!buf)
        throw RunError(
            QStringLiteral("No hay memoria para escribir el nodo XML %1.").arg(describe(self)));
    ErrorCapture errors;
    ErrorGuard guard(errors);
    xmlNodeDump(buf, self->doc, self, 0, 0);
    QString r = QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buf)),
                                  xmlBufferLength(buf));
    xmlBufferFree(buf);
    return r;
}

int Node::lineNumber() const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    return self ? int(xmlGetLineNo(self)) : 0;
}

Node Node::firstChild() const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!canHaveChildren(self) && !(self && self->type == XML_ATTRIBUTE_NODE))
        return {};
    return XmlNodes::wrap(self->children);
}

QList<Node> Node::children() const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    QList<Node> r;
    if (!canHaveChildren(self))
        return r;
    r.reserve(childCount());
    for (xmlNodePtr c = self->children; c; c = c->next)
        r.append(XmlNodes::wrap(c));
    return r;
}

int Node::childCount() const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!canHaveChildren(self))
        return 0;
    int count = 0;
    for (xmlNodePtr c = self->children; c; c = c->next)
        ++count;
    return count;
}

QList<Node> Node::elementChildren(const QString& name) const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    QList<Node> r;
    if (!canHaveChildren(self))
        return r;
    const QByteArray wanted = name.toUtf8();
    for (xmlNodePtr c = self->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && !c->ns && xmlStrEqual(c->name, utf8(wanted)))
            r.append(XmlNodes::wrap(c));
    return r;
}

QString Node::attribute(const QString& name) const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!exchange::isElement(self))
        return {};
    return takeXml(xmlGetProp(self, utf8(name.toUtf8())));
}

int Node::attributeCount() const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    int count = 0;
    if (exchange::isElement(self))
        for (xmlAttrPtr a = self->properties; a; a = a->next)
            ++count;
    return count;
}

QString Node::attributeValue(int position) const {
    const xmlNodePtr self = XmlNodes::raw(*this);
    xmlAttrPtr a = attributeAt(self, position);
    return a ? takeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a))) : QString();
}

// ---------------------------------------------------------------------------------------
// Document

NodeList Document::topLevelGroups() const {
    return select(QStringLiteral("/SERVICIO/BLOQUE_DATOS/grupo_datos"));
}

namespace {

// Element children named `name` outside any namespace, as an XPath name step selects them.
template <typename Visit>
void eachChildNamed(const xmlNode* parent, const char* name, Visit visit) {
    for (xmlNodePtr c = parent->children; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && !c->ns && xmlStrEqual(c->name, X(name)))
            visit(c);
}

// The value of the attribute `name` outside any namespace, compared as XPath's "=" does;
// false without such an attribute.
bool attributeEquals(const xmlNode* n, const char* name, const QByteArray& wanted) {
    for (const xmlAttr* a = n->properties; a; a = a->next) {
        if (a->ns || !xmlStrEqual(a->name, X(name)))
            continue;
        const xmlNode* text = a->children;
        if (!text)
            return wanted.isEmpty();
        if (text == a->last && text->type == XML_TEXT_NODE)
            return xmlStrEqual(text->content ? text->content : X(""), utf8(wanted));
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<const xmlNode*>(a));
        const bool equal = xmlStrEqual(value ? value : X(""), utf8(wanted));
        xmlFree(value);
        return equal;
    }
    return false;
}

} // namespace

// /SERVICIO/BLOQUE_DATOS/grupo_datos[@seq=group]/grupo_datos, walked directly: every step
// asks for its group, and the walk visits nodes in document order as XPath returns them.
NodeList Document::recordsOf(const QString& group) const {
    NodeList records;
    const QByteArray wanted = group.toUtf8();
    eachChildNamed(reinterpret_cast<const xmlNode*>(d->doc), "SERVICIO", [&](xmlNodePtr root) {
        eachChildNamed(root, "BLOQUE_DATOS", [&](xmlNodePtr block) {
            eachChildNamed(block, "grupo_datos", [&](xmlNodePtr g) {
                if (attributeEquals(g, "seq", wanted))
                    eachChildNamed(g, "grupo_datos",
                                   [&](xmlNodePtr r) { records.append(XmlNodes::wrap(r)); });
            });
        });
    });
    return records;
}

NodeList Document::select(const QString& xpath) const {
    return evaluate(d->doc, xpath, [](xmlNodePtr n) { return XmlNodes::wrap(n); });
}

Node Document::selectSingle(const QString& xpath) const {
    const NodeList nodes = select(xpath);
    return nodes.isEmpty() ? Node() : nodes.first();
}

Node Document::root() const {
    return XmlNodes::wrap(xmlDocGetRootElement(d->doc));
}

QList<Node> Document::topLevelNodes() const {
    QList<Node> r;
    for (xmlNodePtr c = d->doc->children; c; c = c->next)
        r.append(XmlNodes::wrap(c));
    return r;
}

QString Document::encoding() const {
    return fromXml(d->doc->encoding);
}

// ---------------------------------------------------------------------------------------
// Items

NodeList dataItems(const Node& recordOrGroup) {
    // What elementChildren("dato") gives, read once per record of every step: counted
    // first so that the list is allocated once.
    const xmlNodePtr self = XmlNodes::raw(recordOrGroup);
    NodeList items;
    if (!canHaveChildren(self))
        return items;
    const auto isItem = [](const xmlNode* c) {
        return c->type == XML_ELEMENT_NODE && !c->ns && xmlStrEqual(c->name, X("dato"));
    };
    qsizetype count = 0;
    for (xmlNodePtr c = self->children; c; c = c->next)
        count += isItem(c) ? 1 : 0;
    items.reserve(count);
    for (xmlNodePtr c = self->children; c; c = c->next)
        if (isItem(c))
            items.append(XmlNodes::wrap(c));
    return items;
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

// The value of the first attribute of a plain <dato xxxxxxxxxxx="..."> item (an 11-letter
// name such as nombre_dato), which the written item holds escaped from its 20th character
// on; false when it is not such an item.
bool valueOfNameAttribute(const xmlNode* n, const xmlChar** value) {
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
    if (plainAscii(name) && valueOfNameAttribute(XmlNodes::raw(items.at(k)), &value)) {
        const QByteArray wanted = name.toLatin1();
        return std::strncmp(reinterpret_cast<const char*>(value), wanted.constData(),
                            std::size_t(wanted.size())) == 0;
    }
    // The item written out starts with the fixed 19 characters <dato nombre_dato=" when
    // the name is the first attribute; the test compares what follows them.
    return itemXmlText(items, k).mid(19, name.size()) == name;
}

} // namespace exchange
