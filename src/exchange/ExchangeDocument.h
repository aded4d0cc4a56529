#pragma once

#include <QList>
#include <QString>
#include <memory>
#include <optional>

// The exchange document: Veltra's XML envelope SERVICIO / BLOQUE_DATOS / grupo_datos /
// dato. The XML library stays behind this header.
namespace exchange {

struct Model;

// A node of a document (element, text, comment ...). A null node is valid: reading it
// gives empty values; changing it (or a failed change of any node) throws RunError.
// Nodes stay valid while their document is held, also after being taken out of the tree.
//
// A document read as a stream (Document::load) keeps only its envelope: the root, the
// data block, the groups, their records and the data items. Its nodes give their name,
// attributes, line and (items) text and serialised form; they have no children but the
// items of dataItems, and cannot be changed.
class Node {
public:
    Node() = default;
    bool isNull() const { return h_ == nullptr && m_ == nullptr; }
    explicit operator bool() const { return !isNull(); }
    bool operator==(const Node& o) const {
        return h_ == o.h_ && m_ == o.m_ && at_ == o.at_ && kind_ == o.kind_;
    }

    QString name() const; // element name
    bool isElement() const;
    QString text() const; // all character data inside, entities resolved
    QString xml() const;  // serialised form, as saved
    int lineNumber() const;

    Node firstChild() const;
    QList<Node> children() const; // all kinds of child nodes
    int childCount() const;       // all kinds counted
    QList<Node> elementChildren(const QString& name) const;

    // Attributes: first-set order is kept.
    QString attribute(const QString& name) const;
    void setAttribute(const QString& name, const QString& value);
    void setAttribute(const QString& name, qint64 value);
    int attributeCount() const;
    QString attributeValue(int position) const;
    void setAttributeValue(int position, const QString& value);

    void setText(const QString& text); // empty text leaves the element without content
    void appendChild(Node child);
    void removeChild(Node child);
    // Takes the child out and frees it and everything inside it at once, for content that
    // is no longer wanted: Nodes referring into it must not be used any more.
    void deleteChild(Node child);

protected:
    // The implementation's node, opaque here; reached only from inside the module.
    struct Handle;
    static Node fromHandle(Handle* h) {
        Node n;
        n.h_ = h;
        return n;
    }
    static Handle* handleOf(const Node& n) { return n.h_; }
    // A node of a document read as a stream: what it is and where in the model.
    enum class Kind : unsigned char { None, Root, Block, Group, Record, Item };
    static Node fromModel(const Model* m, Kind kind, unsigned at) {
        Node n;
        n.m_ = m;
        n.kind_ = kind;
        n.at_ = at;
        return n;
    }
    static const Model* modelOf(const Node& n) { return n.m_; }
    static Kind kindOf(const Node& n) { return n.kind_; }
    static unsigned indexOf(const Node& n) { return n.at_; }

private:
    Handle* h_ = nullptr;
    const Model* m_ = nullptr;
    unsigned at_ = 0;
    Kind kind_ = Kind::None;
};

using NodeList = QList<Node>;

class DocumentPrivate;

class Document {
public:
    Document(); // an empty document
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Reads the file in one pass, keeping what the runs read of it: the envelope's root
    // and data block, the groups with their records and data items (see Node), the XML
    // declaration and the top-level comments and processing instructions. Memory grows
    // with the data kept, not with the document's markup. A file that cannot be read
    // throws RunError. A file that is not well-formed XML, or that carries a DOCTYPE,
    // loads as an empty document with ok() false and errorString() naming the file and
    // the parser's line. Whitespace-only text between elements is dropped; entities are
    // not substituted and nothing is fetched from the network.
    static Document load(const QString& path);
    static Document fromBytes(const QByteArray& xml, const QString& nameForMessages);
    // The same, reading the whole document into a tree that every operation below works
    // on (the envelope's shape is not assumed).
    static Document loadTree(const QString& path);
    static Document treeFromBytes(const QByteArray& xml, const QString& nameForMessages);

    bool ok() const;
    QString errorString() const;

    // Reading operations of the import.
    NodeList topLevelGroups() const;                // /SERVICIO/BLOQUE_DATOS/grupo_datos
    NodeList recordsOf(const QString& group) const; // .../grupo_datos[@seq=group]/grupo_datos
    NodeList select(const QString& xpath) const;    // XPath 1.0 on the document; a bad
                                                    // or non-node expression throws; on
                                                    // a streamed document only the
                                                    // envelope paths (ExchangeNames.h)
    Node selectSingle(const QString& xpath) const;  // first match or null
    // The text of the first child of /SERVICIO/BLOQUE_DATOS that is an element or holds
    // more than blanks (space, tab, line ends), without the blanks it starts with and cut
    // to its first 256 characters: where the school year is. Nothing without one.
    std::optional<QString> firstDataText() const;
    // A new document holding this one's XML declaration (version, encoding, standalone)
    // and its top-level comments and processing instructions, without the root element:
    // where the export builds the document it writes.
    Document prolog() const;

    // Document operations of the export.
    Node root() const;
    Node createElement(const QString& name);
    void appendChild(Node child); // at document level, after the other top-level nodes
    void removeChild(Node child); // from the document level
    void deleteChild(Node child); // from the document level, freed at once (Node::deleteChild)
    QList<Node> topLevelNodes() const;
    QString encoding() const; // as declared; empty without a declaration

    // Writes the whole document, replacing an existing file, without indentation, in the
    // declared encoding (UTF-8 without declaration when there is none). Throws RunError.
    void save(const QString& path) const;
    QByteArray toBytes() const;

private:
    static Document loadFile(const QString& path, bool stream);
    static Document loadBytes(const QByteArray& xml, const QString& nameForMessages, bool stream);
    std::unique_ptr<DocumentPrivate> d;
};

// Saves a document too large to be held whole. The document is a skeleton that holds an
// empty element (a hole) where each large group's content goes, the holes in document
// order; the content is then written piece by piece into the holes, each piece freed once
// written. The file is byte for byte what save() gives for the document with the pieces
// put in place of the holes.
class StreamedSave {
public:
    // Starts writing `path` (through a temporary file: the target changes only at commit)
    // for the document the holes are in; at least one hole. Pieces are written and freed
    // as they come; where the holes cannot be told apart in the encoded bytes (UTF-16),
    // they are put into the tree and the whole document is saved at commit. Throws
    // RunError.
    StreamedSave(const QString& path, const QList<Node>& holes);
    ~StreamedSave(); // without commit the target stays as it was
    StreamedSave(const StreamedSave&) = delete;
    StreamedSave& operator=(const StreamedSave&) = delete;

    bool streams() const;
    // Writes a loose element of the document (made with createElement, in no tree) into the
    // current hole and frees it with everything inside it.
    void write(Node piece);
    void nextHole();
    // Writes the rest and puts the file in place; the holes are gone from the document.
    void commit();

private:
    friend class Piece;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A loose element written into a StreamedSave's current hole without being built as nodes:
// a timetable of a million entries is then written in about the time its bytes take. Its
// bytes are those write() gives for the same element made with createElement, setAttribute
// and setText (the library's escaping and encoder); where the save does not stream, it is
// built as nodes. Names, attributes and texts are checked as those operations check them,
// with their messages.
class Piece {
public:
    Piece(Document& doc, StreamedSave& to, const char* name);
    ~Piece();
    Piece(const Piece&) = delete;
    Piece& operator=(const Piece&) = delete;

    // An attribute of the element opened last, before anything is put inside it. The
    // piece's own element takes them at any time: one set again keeps its place.
    void attribute(const char* name, const QString& value);
    void attribute(const char* name, const char* latin1Value);
    void open(const char* name); // a child of the element opened last
    // The text of the element opened last, with nothing inside it yet; empty text leaves
    // it without content.
    void text(const QString& value);
    void close(); // the element opened last; not the piece's own
    void write(); // every child closed: into the hole, once

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Data items of a record or group: its "dato" children, in document order.
NodeList dataItems(const Node& recordOrGroup);

// Item operations by position; a position at or beyond the end reads as the empty text.
QString itemText(const NodeList& items, int k);
QString itemValue(const NodeList& items, int k);   // AllTrim of the item text
QString itemXmlText(const NodeList& items, int k); // serialised item, blanks trimmed
bool itemNameIs(const NodeList& items, int k, const QString& name);

} // namespace exchange
