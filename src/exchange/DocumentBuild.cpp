#include "exchange/XmlSupport.h"

#include "text/RunError.h"

#include <libxml/parser.h>

#include <algorithm>
#include <cstring>

namespace exchange {

namespace {

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

// Takes a node out of the tree; it stays alive, owned by the document, until the document goes.
void detach(xmlNodePtr n) {
    xmlUnlinkNode(n);
    DocumentPrivate::of(n)->detached.push_back(n);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Node

void Node::setAttribute(const QString& name, const QString& value) {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!self)
        nullNodeError("asignar un atributo");
    if (!exchange::isElement(self))
        throw RunError(
            QStringLiteral("No se puede asignar el atributo '%1' a %2: no es un elemento.")
                .arg(name, describe(self)));
    const QByteArray n = name.toUtf8();
    if (xmlValidateName(utf8(n), 0) != 0)
        throw RunError(QStringLiteral("Nombre de atributo XML no válido: '%1'.").arg(name));
    checkXmlChars(
        value, [&] { return QStringLiteral("el atributo '%1' de %2").arg(name, describe(self)); });
    // xmlSetProp keeps an existing attribute in its place and appends a new one, which is
    // the first-set order; the value is stored as text, not parsed for entities.
    const auto failed = [&] {
        return RunError(
            QStringLiteral("No se puede asignar el atributo '%1' a %2.").arg(name, describe(self)));
    };
    if (n.contains(':')) { // a prefixed name: the library finds its namespace
        if (!xmlSetProp(self, utf8(n), utf8(value.toUtf8())))
            throw failed();
        return;
    }
    // Set empty first, then given its text as every other text node gets it.
    xmlAttrPtr a = xmlSetProp(self, utf8(n), nullptr);
    if (!a)
        throw failed();
    xmlNodePtr tn = newTextNode(self->doc, value.toUtf8());
    if (!tn)
        throw failed();
    tn->parent = reinterpret_cast<xmlNodePtr>(a);
    a->children = a->last = tn;
}

void Node::setAttribute(const QString& name, qint64 value) {
    setAttribute(name, QString::number(value));
}

void Node::setAttributeValue(int position, const QString& value) {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!self)
        nullNodeError("asignar un atributo por posición");
    xmlAttrPtr a = attributeAt(self, position);
    if (!a)
        throw RunError(
            QStringLiteral("El elemento %1 no tiene atributo en la posición %2 (tiene %3).")
                .arg(describe(self))
                .arg(position)
                .arg(attributeCount()));
    checkXmlChars(value, [&] {
        return QStringLiteral("el atributo '%1' de %2").arg(fromXml(a->name), describe(self));
    });
    if (!xmlSetNsProp(self, a->ns, a->name, utf8(value.toUtf8())))
        throw RunError(QStringLiteral("No se puede asignar el atributo '%1' de %2.")
                           .arg(fromXml(a->name), describe(self)));
}

void Node::setText(const QString& text) {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!self)
        nullNodeError("asignar el texto");
    checkXmlChars(text, [&] { return describe(self); });
    const QByteArray t = text.toUtf8();
    switch (self->type) {
    case XML_ELEMENT_NODE: {
        // Old children are kept alive (a caller may still hold them) until the document goes.
        while (self->children)
            detach(self->children);
        if (!text.isEmpty()) {
            xmlNodePtr tn = newTextNode(self->doc, t);
            if (!tn)
                throw RunError(
                    QStringLiteral("No hay memoria para el texto de %1.").arg(describe(self)));
            linkLast(self, tn);
        }
        return;
    }
    case XML_ATTRIBUTE_NODE: {
        auto* a = reinterpret_cast<xmlAttrPtr>(self);
        if (!xmlSetNsProp(a->parent, a->ns, a->name, utf8(t)))
            throw RunError(
                QStringLiteral("No se puede asignar el atributo %1.").arg(describe(self)));
        return;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        xmlNodeSetContent(self, utf8(t)); // stored as is for these kinds
        return;
    default:
        throw RunError(QStringLiteral("No se puede asignar el texto de %1.").arg(describe(self)));
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
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!self)
        nullNodeError("añadir un hijo");
    appendTo(self, XmlNodes::raw(child));
}

void Node::removeChild(Node child) {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!self)
        nullNodeError("quitar un hijo");
    removeFrom(self, XmlNodes::raw(child));
}

void Node::deleteChild(Node child) {
    const xmlNodePtr self = XmlNodes::raw(*this);
    if (!self)
        nullNodeError("borrar un hijo");
    deleteFrom(self, XmlNodes::raw(child));
}

// ---------------------------------------------------------------------------------------
// Document

Node Document::createElement(const QString& name) {
    const QByteArray n = name.toUtf8();
    if (xmlValidateName(utf8(n), 0) != 0)
        throw RunError(QStringLiteral("Nombre de elemento XML no válido: '%1'.").arg(name));
    xmlNodePtr e = xmlNewDocNode(d->doc, nullptr, utf8(n), nullptr);
    if (!e)
        throw RunError(QStringLiteral("No hay memoria para crear el elemento XML '%1'.").arg(name));
    d->detached.push_back(e);
    return XmlNodes::wrap(e);
}

void Document::appendChild(Node child) {
    appendTo(reinterpret_cast<xmlNodePtr>(d->doc), XmlNodes::raw(child));
}

void Document::removeChild(Node child) {
    removeFrom(reinterpret_cast<xmlNodePtr>(d->doc), XmlNodes::raw(child));
}

void Document::deleteChild(Node child) {
    deleteFrom(reinterpret_cast<xmlNodePtr>(d->doc), XmlNodes::raw(child));
}

} // namespace exchange
