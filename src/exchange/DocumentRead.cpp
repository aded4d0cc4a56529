#include "exchange/ExchangeNames.h"
#include "exchange/XmlSupport.h"

#include "text/Clipper.h"
#include "text/RunError.h"

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

using Kind = ModelNodes::Kind;

// What the model keeps of an element node, or null.
const Model::Element* elementOf(const Node& n) {
    const Model* m = ModelNodes::model(n);
    if (!m)
        return nullptr;
    const unsigned at = ModelNodes::index(n);
    switch (ModelNodes::kind(n)) {
    case Kind::Root:
        return m->root ? &*m->root : nullptr;
    case Kind::Block:
        return m->block ? &*m->block : nullptr;
    case Kind::Group:
        return &m->groups[at];
    case Kind::Record:
        return &m->records[at];
    default:
        return nullptr;
    }
}

const Model::Item* itemOf(const Node& n) {
    const Model* m = ModelNodes::model(n);
    return m && ModelNodes::kind(n) == Kind::Item ? &m->items[ModelNodes::index(n)] : nullptr;
}

NodeList modelItems(const Node& n) {
    NodeList items;
    const Model::Element* e = elementOf(n);
    if (!e || (ModelNodes::kind(n) != Kind::Group && ModelNodes::kind(n) != Kind::Record))
        return items;
    items.reserve(e->itemCount);
    for (quint32 i = e->items; i < e->items + e->itemCount; ++i)
        items.append(ModelNodes::node(ModelNodes::model(n), Kind::Item, i));
    return items;
}

NodeList modelRecords(const Model* m, const Model::Element& g) {
    NodeList records;
    records.reserve(g.recordCount);
    for (quint32 i = g.records; i < g.records + g.recordCount; ++i)
        records.append(ModelNodes::node(m, Kind::Record, i));
    return records;
}

[[noreturn]] void notKept(const Node& n) {
    throw RunError(QStringLiteral("El contenido de '%1' no se conserva al leer el documento "
                                  "por partes.")
                       .arg(n.name()));
}

} // namespace

// ---------------------------------------------------------------------------------------
// Node

QString Node::name() const {
    if (ModelNodes::model(*this)) {
        switch (ModelNodes::kind(*this)) {
        case Kind::Root:
            return QString::fromLatin1(kRoot);
        case Kind::Block:
            return QString::fromLatin1(kBlock);
        case Kind::Item:
            return QString::fromLatin1(kItem);
        default:
            return QString::fromLatin1(kGroup);
        }
    }
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
    if (ModelNodes::model(*this))
        return true;
    const xmlNodePtr self = XmlNodes::raw(*this);
    return exchange::isElement(self);
}

QString Node::text() const {
    if (const Model::Item* item = itemOf(*this))
        return ModelNodes::model(*this)->text(item->text);
    if (ModelNodes::model(*this))
        notKept(*this);
    const xmlNodePtr self = XmlNodes::raw(*this);
    // An element holding one piece of text, the usual data item, is read in place.
    if (exchange::isElement(self) && self->children && self->children == self->last &&
        self->children->type == XML_TEXT_NODE && self->children->content)
        return fromXml(self->children->content);
    return self ? takeXml(xmlNodeGetContent(self)) : QString();
}

QString Node::xml() const {
    if (const Model::Item* item = itemOf(*this))
        return ModelNodes::model(*this)->itemXml(*item);
    if (ModelNodes::model(*this))
        notKept(*this);
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
    if (const Model::Item* item = itemOf(*this))
        return item->line;
    if (const Model::Element* e = elementOf(*this))
        return e->line;
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
    if (ModelNodes::model(*this)) {
        if (name == QLatin1String(kItem))
            return modelItems(*this);
        const Model::Element* e = elementOf(*this);
        if (name == QLatin1String(kGroup) && e && ModelNodes::kind(*this) == Kind::Group)
            return modelRecords(ModelNodes::model(*this), *e);
        return {};
    }
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

// Attributes of a streamed document's element: as read; of an item: its own.
namespace {
std::pair<quint32, quint32> modelAttributes(const Node& n) {
    if (const Model::Item* item = itemOf(n))
        return {item->attributes, item->attributeCount};
    if (const Model::Element* e = elementOf(n))
        return {e->attributes, e->attributeCount};
    return {0, 0};
}
} // namespace

QString Node::attribute(const QString& name) const {
    if (const Model* m = ModelNodes::model(*this)) {
        const auto [first, count] = modelAttributes(*this);
        return m->attribute(first, count, name);
    }
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!exchange::isElement(self))
        return {};
    return takeXml(xmlGetProp(self, utf8(name.toUtf8())));
}

int Node::attributeCount() const {
    if (ModelNodes::model(*this))
        return int(modelAttributes(*this).second);
    const xmlNodePtr self = XmlNodes::raw(*this);
    int count = 0;
    if (exchange::isElement(self))
        for (xmlAttrPtr a = self->properties; a; a = a->next)
            ++count;
    return count;
}

QString Node::attributeValue(int position) const {
    if (const Model* m = ModelNodes::model(*this)) {
        const auto [first, count] = modelAttributes(*this);
        if (position < 0 || quint32(position) >= count)
            return {};
        return m->text(m->attributes[first + quint32(position)].value);
    }
    const xmlNodePtr self = XmlNodes::raw(*this);
    xmlAttrPtr a = attributeAt(self, position);
    return a ? takeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a))) : QString();
}

// ---------------------------------------------------------------------------------------
// Document

NodeList Document::topLevelGroups() const {
    if (const Model* m = d->model.get()) {
        NodeList groups;
        groups.reserve(qsizetype(m->groups.size()));
        for (std::size_t i = 0; i < m->groups.size(); ++i)
            groups.append(ModelNodes::node(m, Kind::Group, unsigned(i)));
        return groups;
    }
    return select(QString::fromLatin1(kGroupsPath));
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
    if (const Model* m = d->model.get()) {
        for (const Model::Element& g : m->groups)
            if (m->plainAttribute(g, QLatin1String(kGroupName)) == group)
                records.append(modelRecords(m, g));
        return records;
    }
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
    if (const Model* m = d->model.get()) {
        // The envelope paths, which is what the model keeps.
        if (xpath == QLatin1String(kRootPath))
            return m->root ? NodeList{ModelNodes::node(m, Kind::Root, 0)} : NodeList{};
        if (xpath == QLatin1String(kOwnExportPath)) {
            const bool own =
                m->root &&
                m->plainAttribute(*m->root, QLatin1String("autor")) == QLatin1String("TEMPOLAN") &&
                m->plainAttribute(*m->root, QLatin1String("modulo")) == QLatin1String("HORARIOS");
            return own ? NodeList{ModelNodes::node(m, Kind::Root, 0)} : NodeList{};
        }
        if (xpath == QLatin1String(kBlockPath))
            return m->block ? NodeList{ModelNodes::node(m, Kind::Block, 0)} : NodeList{};
        if (xpath == QLatin1String(kGroupsPath))
            return topLevelGroups();
        const QLatin1String start(kRecordsPathStart), end(kRecordsPathEnd);
        if (xpath.startsWith(start) && xpath.endsWith(end) &&
            xpath.size() >= start.size() + end.size()) {
            const QString name = xpath.mid(start.size(), xpath.size() - start.size() - end.size());
            if (!name.contains(QChar(0x22))) // no double quote
                return recordsOf(name);
        }
        throw RunError(QStringLiteral("La expresión XPath '%1' no se evalúa sobre un documento "
                                      "leído por partes.")
                           .arg(xpath));
    }
    return evaluate(d->doc, xpath, [](xmlNodePtr n) { return XmlNodes::wrap(n); });
}

Node Document::selectSingle(const QString& xpath) const {
    const NodeList nodes = select(xpath);
    return nodes.isEmpty() ? Node() : nodes.first();
}

Node Document::root() const {
    if (const Model* m = d->model.get())
        return m->root ? ModelNodes::node(m, Kind::Root, 0) : Node();
    return XmlNodes::wrap(xmlDocGetRootElement(d->doc));
}

QList<Node> Document::topLevelNodes() const {
    QList<Node> r;
    for (xmlNodePtr c = d->doc->children; c; c = c->next)
        r.append(XmlNodes::wrap(c));
    return r;
}

std::optional<QString> Document::firstDataText() const {
    if (const Model* m = d->model.get())
        return m->firstDataText;
    const Node block = selectSingle(QString::fromLatin1(kBlockPath));
    for (const Node& child : block.children()) {
        QString t = child.text();
        qsizetype i = 0;
        while (i < t.size() &&
               (t.at(i) == u' ' || t.at(i) == u'\t' || t.at(i) == u'\n' || t.at(i) == u'\r'))
            ++i;
        if (child.isElement() || i < t.size())
            return t.mid(i, 256);
    }
    return std::nullopt;
}

Document Document::prolog() const {
    Document result;
    xmlDocPtr copy = xmlCopyDoc(d->doc, 0);
    if (!copy)
        throw RunError(QStringLiteral("No hay memoria para crear un documento XML."));
    for (xmlNodePtr c = d->doc->children; c; c = c->next) {
        if (c->type != XML_COMMENT_NODE && c->type != XML_PI_NODE)
            continue;
        xmlNodePtr n = xmlDocCopyNode(c, copy, 1);
        if (!n || !xmlAddChild(reinterpret_cast<xmlNodePtr>(copy), n)) {
            xmlFreeNode(n);
            xmlFreeDoc(copy);
            throw RunError(QStringLiteral("No hay memoria para crear un documento XML."));
        }
    }
    result.d = std::make_unique<DocumentPrivate>(copy);
    result.d->declared = d->declared;
    return result;
}

QString Document::encoding() const {
    return fromXml(d->doc->encoding);
}

// ---------------------------------------------------------------------------------------
// Items

NodeList dataItems(const Node& recordOrGroup) {
    if (ModelNodes::model(recordOrGroup))
        return modelItems(recordOrGroup);
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
    if (const Model::Item* item = itemOf(items.at(k))) {
        const Model* m = ModelNodes::model(items.at(k));
        if (plainAscii(name) && item->kept < 0 && item->attributeCount > 0 &&
            m->attributes[item->attributes].name.size == 11)
            return m->view(m->attributes[item->attributes].value).startsWith(name);
        return itemXmlText(items, k).mid(19, name.size()) == name;
    }
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
