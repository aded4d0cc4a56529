#include "exchange/ExchangeNames.h"
#include "exchange/XmlSupport.h"

#include "text/RunError.h"

#include <libxml/parserInternals.h>

#include <algorithm>

namespace exchange {

namespace {

bool isXmlBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
           c == QLatin1Char('\r');
}

// The first child's text as firstDataText gives it.
QString startOfData(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && isXmlBlank(text.at(i)))
        ++i;
    return text.mid(i, 256);
}

bool allBlank(const QString& text) {
    return std::all_of(text.begin(), text.end(), isXmlBlank);
}

bool named(const xmlNode* n, const char* name) {
    return !n->ns && xmlStrEqual(n->name, X(name));
}

// The text of an attribute or an element as Node::text() reads it.
QString contentOf(const xmlNode* n) {
    if (n->children && n->children == n->last && n->children->type == XML_TEXT_NODE &&
        n->children->content)
        return fromXml(n->children->content);
    return takeXml(xmlNodeGetContent(n));
}

} // namespace

// ---------------------------------------------------------------------------------------
// Model

Model::Model() {
    keptItems = xmlNewDoc(X("1.0"));
    if (!keptItems)
        throw RunError(QStringLiteral("No hay memoria para crear un documento XML."));
}

Model::~Model() {
    for (xmlNodePtr n : kept)
        xmlFreeNode(n);
    xmlFreeDoc(keptItems);
}

Model::Span Model::add(QStringView s) {
    const Span span{quint32(chars.size()), quint32(s.size())};
    chars.append(s);
    return span;
}

Model::Span Model::intern(const QString& s) {
    const auto it = interned.constFind(s);
    if (it != interned.constEnd())
        return *it;
    const Span span = add(s);
    interned.insert(s, span);
    return span;
}

QString Model::attribute(quint32 first, quint32 count, const QString& name) const {
    for (quint32 i = first; i < first + count; ++i)
        if (view(attributes[i].name) == name)
            return text(attributes[i].value);
    return {};
}

std::optional<QString> Model::plainAttribute(const Element& e, QLatin1String name) const {
    for (quint32 i = e.attributes; i < e.attributes + e.attributeCount; ++i)
        if (!attributes[i].namespaced && view(attributes[i].name) == name)
            return text(attributes[i].value);
    return std::nullopt;
}

QString Model::itemXml(const Item& item) const {
    xmlNodePtr n = nullptr;
    bool temporary = false;
    if (item.kept >= 0) {
        n = kept[std::size_t(item.kept)];
    } else {
        // A plain item is made again as the parser made it: the same element, attributes
        // and text give the same serialised form.
        temporary = true;
        n = xmlNewDocNode(keptItems, nullptr, X(kItem), nullptr);
        if (!n)
            throw RunError(QStringLiteral("No hay memoria para escribir el nodo XML %1.")
                               .arg(QStringLiteral("'dato'")));
        for (quint32 i = item.attributes; i < item.attributes + item.attributeCount; ++i)
            xmlNewProp(n, utf8(text(attributes[i].name).toUtf8()),
                       utf8(text(attributes[i].value).toUtf8()));
        if (item.text.size > 0)
            xmlAddChild(n, xmlNewDocText(keptItems, utf8(text(item.text).toUtf8())));
    }
    xmlBufferPtr buf = xmlBufferCreate();
    if (!buf) {
        if (temporary)
            xmlFreeNode(n);
        throw RunError(QStringLiteral("No hay memoria para escribir el nodo XML %1.")
                           .arg(QStringLiteral("'dato'")));
    }
    ErrorCapture errors;
    ErrorGuard guard(errors);
    xmlNodeDump(buf, keptItems, n, 0, 0);
    QString r = QString::fromUtf8(reinterpret_cast<const char*>(xmlBufferContent(buf)),
                                  xmlBufferLength(buf));
    xmlBufferFree(buf);
    if (temporary)
        xmlFreeNode(n);
    return r;
}

// ---------------------------------------------------------------------------------------
// ModelBuilder

void ModelBuilder::attributesOf(const xmlNode* n, quint32& first, quint32& count) {
    first = quint32(m_.attributes.size());
    for (const xmlAttr* a = n->properties; a; a = a->next)
        m_.attributes.push_back({m_.intern(fromXml(a->name)),
                                 m_.intern(contentOf(reinterpret_cast<const xmlNode*>(a))),
                                 a->ns != nullptr});
    count = quint32(m_.attributes.size()) - first;
}

Model::Item ModelBuilder::item(const xmlNode* n) {
    Model::Item it;
    it.line = int(xmlGetLineNo(n));
    attributesOf(n, it.attributes, it.attributeCount);
    // Plain: what the model holds makes the element again (see Model::itemXml).
    bool plain = !n->nsDef;
    for (const xmlAttr* a = n->properties; plain && a; a = a->next)
        plain = !a->ns &&
                (!a->children || (a->children == a->last && a->children->type == XML_TEXT_NODE &&
                                  a->children->content));
    const xmlNode* c = n->children;
    plain = plain && (!c || (c == n->last && c->type == XML_TEXT_NODE && c->name == xmlStringText &&
                             c->content && *c->content));
    it.text = m_.add(contentOf(n));
    if (!plain) {
        xmlNodePtr copy = xmlDocCopyNode(const_cast<xmlNodePtr>(n), m_.keptItems, 1);
        if (!copy)
            throw RunError(QStringLiteral("No hay memoria para crear un documento XML."));
        it.kept = qint32(m_.kept.size());
        m_.kept.push_back(copy);
    }
    return it;
}

// The first child of the data block that is an element or holds more than blanks, among
// the block's children before `upTo` (all of them when null).
void ModelBuilder::decideFirst(const xmlNode* block, const xmlNode* upTo) {
    for (const xmlNode* c = block->children; c && c != upTo; c = c->next) {
        const QString t = takeXml(xmlNodeGetContent(c));
        if (isElement(c) || !allBlank(t)) {
            m_.firstDataText = startOfData(t);
            decided_ = true;
            return;
        }
    }
    if (upTo) {
        capture_ = const_cast<xmlNodePtr>(upTo);
        decided_ = true;
    }
}

void ModelBuilder::started(xmlNodePtr n) {
    const Kind parent = open_.empty() ? Kind::Other : open_.back().kind;
    const bool atTop = open_.empty();
    Kind kind = Kind::Other;
    if (atTop) {
        if (named(n, kRoot))
            kind = Kind::Root;
    } else {
        switch (parent) {
        case Kind::Root:
            if (named(n, kBlock))
                kind = m_.block ? Kind::Block : Kind::FirstBlock;
            break;
        case Kind::Block:
        case Kind::FirstBlock:
            if (named(n, kGroup))
                kind = Kind::Group;
            break;
        case Kind::Group:
            if (named(n, kGroup))
                kind = Kind::Record;
            else if (named(n, kItem))
                kind = Kind::Item;
            break;
        case Kind::Record:
            if (named(n, kItem))
                kind = Kind::Item;
            break;
        default:
            break;
        }
    }
    if (parent == Kind::FirstBlock && !atTop && !decided_)
        decideFirst(n->parent, n);

    Model::Element e;
    switch (kind) {
    case Kind::Root:
        attributesOf(n, e.attributes, e.attributeCount);
        e.line = int(xmlGetLineNo(n));
        m_.root = e;
        break;
    case Kind::FirstBlock:
        e.line = int(xmlGetLineNo(n));
        m_.block = e;
        break;
    case Kind::Group:
        attributesOf(n, e.attributes, e.attributeCount);
        e.line = int(xmlGetLineNo(n));
        e.records = quint32(m_.records.size());
        m_.groups.push_back(e);
        groupItems_.clear();
        break;
    case Kind::Record:
        attributesOf(n, e.attributes, e.attributeCount);
        e.line = int(xmlGetLineNo(n));
        m_.records.push_back(e);
        recordItems_.clear();
        break;
    default:
        break;
    }
    open_.push_back({kind, n});
}

void ModelBuilder::release(xmlParserCtxtPtr ctxt, xmlNodePtr n) {
    if (capture_) {
        if (n != capture_)
            return; // inside the block's first child: read whole at its end
        m_.firstDataText = startOfData(takeXml(xmlNodeGetContent(n)));
        capture_ = nullptr;
    }
    xmlUnlinkNode(n);
    xmlFreeNode(n);
    // The parser appends text in place to the last text node it made; that one may now be
    // another, so let it start a new one (or join the old one the slow, safe way).
    ctxt->nodelen = 0;
    ctxt->nodemem = 0;
}

void ModelBuilder::ended(xmlParserCtxtPtr ctxt, xmlNodePtr n) {
    if (open_.empty() || open_.back().node != n)
        return; // not one we were told of (the parser ran out of memory making it)
    const Kind kind = open_.back().kind;
    open_.pop_back();
    const Kind parent = open_.empty() ? Kind::Other : open_.back().kind;
    const auto flush = [this](Model::Element& e, std::vector<Model::Item>& items) {
        e.items = quint32(m_.items.size());
        e.itemCount = quint32(items.size());
        m_.items.insert(m_.items.end(), items.begin(), items.end());
        items.clear();
    };
    switch (kind) {
    case Kind::Item:
        (parent == Kind::Group ? groupItems_ : recordItems_).push_back(item(n));
        release(ctxt, n);
        break;
    case Kind::Record:
        flush(m_.records.back(), recordItems_);
        release(ctxt, n);
        break;
    case Kind::Group: {
        Model::Element& g = m_.groups.back();
        flush(g, groupItems_);
        g.recordCount = quint32(m_.records.size()) - g.records;
        release(ctxt, n);
        break;
    }
    case Kind::FirstBlock:
        if (!decided_)
            decideFirst(n, nullptr);
        release(ctxt, n);
        break;
    case Kind::Root:
    case Kind::Block:
        release(ctxt, n);
        break;
    case Kind::Other:
        // Elements inside a group go with it; those above are freed here.
        if (open_.empty() || parent == Kind::Root || parent == Kind::Block ||
            parent == Kind::FirstBlock)
            release(ctxt, n);
        break;
    }
}

void ModelBuilder::finish(xmlDocPtr doc) {
    if (doc && doc->encoding)
        m_.keptItems->encoding = xmlStrdup(doc->encoding);
    // Grown by doubling while reading: what is kept for the run is only what was read.
    m_.records.shrink_to_fit();
    m_.groups.shrink_to_fit();
    m_.chars.squeeze();
    m_.interned.clear();
    m_.interned.squeeze();
}

} // namespace exchange
