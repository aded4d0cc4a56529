#include "exchange/XmlSupport.h"
#include "text/SystemError.h"

#include "text/RunError.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include <libxml/xmlsave.h>

namespace exchange {

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

// Why a save failed. A full disk is said in so many words (the library's own text for it
// may be English or no more than "Unknown error").
QString saveFailure(const QSaveFile& f, int error, const QString& path) {
    bool full = error == ENOSPC;
#ifdef EDQUOT
    full = full || error == EDQUOT;
#endif
    if (!full) {
        const QStorageInfo disk(QFileInfo(path).absolutePath());
        full = disk.isValid() && disk.bytesAvailable() == 0;
    }
    if (full)
        return QStringLiteral("No se puede guardar el documento XML '%1': no queda espacio en el "
                              "disco. Libere espacio y repita el proceso; el documento que ya "
                              "hubiera con ese nombre sigue como estaba.")
            .arg(path);
    return QStringLiteral("No se puede guardar el documento XML '%1': %2")
        .arg(path, text::inOurWords(f.errorString()));
}

// The library's writer for a document: its encoding and options. With a declaration: the
// encoding it names. A declaration that names none means UTF-8; libxml2 would then escape
// every non-ASCII character, so that case writes the declaration itself and lets libxml2
// write the rest as UTF-8.
std::pair<const char*, int> saveSettings(const DocumentPrivate& d) {
    const bool libraryDeclaration = d.declared && d.doc->encoding;
    return {libraryDeclaration ? reinterpret_cast<const char*>(d.doc->encoding) : "UTF-8",
            libraryDeclaration ? 0 : XML_SAVE_NO_DECL};
}

} // namespace

void DocumentPrivate::write(const Sink& sink) const {
    const auto [encoding, options] = saveSettings(*this);

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

namespace {

// The file a document is saved to: written beside the target and renamed over it, so a
// failed save leaves the old file (or none) instead of half a document. Unbuffered, so
// that a failing write is seen with its reason at once.
class SaveTarget {
public:
    explicit SaveTarget(const QString& path) : f_(path), path_(path) {
        if (!f_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            throw RunError(saveFailure(f_, errno, path_));
    }
    // For the library's writers; false (the reason kept) when the bytes did not go.
    bool write(const char* data, int size) {
        errno = 0;
        if (f_.write(data, size) == size)
            return true;
        error_ = errno;
        return false;
    }
    void writeOrThrow(const QByteArray& bytes) {
        if (!write(bytes.constData(), int(bytes.size())))
            failed();
    }
    [[noreturn]] void failed() { throw RunError(saveFailure(f_, error_, path_)); }
    void commit() {
        errno = 0;
        if (!f_.commit())
            throw RunError(saveFailure(f_, errno, path_));
    }
    Sink sink() {
        return [this](const char* data, int size) { return write(data, size); };
    }

private:
    QSaveFile f_;
    QString path_;
    int error_ = 0;
};

void saveWhole(const DocumentPrivate& d, const QString& path) {
    SaveTarget target(path);
    try {
        d.write(target.sink());
    } catch (const DocumentPrivate::WriteFailed&) {
        target.failed();
    }
    target.commit();
}

} // namespace

void Document::save(const QString& path) const {
    saveWhole(*d, path);
}

// ---- Saving piece by piece -------------------------------------------------------------

struct StreamedSave::Impl {
    DocumentPrivate* doc = nullptr;
    QString path;
    std::vector<xmlNodePtr> holes;
    std::size_t hole = 0; // the one pieces go into now
    bool streams = false;

    // While streaming: the skeleton's bytes around the holes, and the writer of pieces.
    std::vector<QByteArray> between; // holes.size() + 1 segments
    std::unique_ptr<SaveTarget> target;
    Sink sink;
    SinkContext context{&sink};
    xmlSaveCtxtPtr save = nullptr;
    const char* encoding = nullptr;
    ErrorCapture errors;
    // Pieces written without nodes go through an output buffer of their own, with the
    // encoder the save context uses; each writer's bytes reach the sink before the other's.
    xmlOutputBufferPtr markup = nullptr;
    bool saveDirty = false, markupDirty = false;

    ~Impl() {
        if (save)
            xmlSaveClose(save);
        if (markup)
            xmlOutputBufferClose(markup);
    }

    void flushSave() {
        if (saveDirty && (xmlSaveFlush(save) < 0 || context.refused))
            target->failed();
        saveDirty = false;
    }
    void flushMarkup() {
        if (markupDirty && (xmlOutputBufferFlush(markup) < 0 || context.refused))
            target->failed();
        markupDirty = false;
    }

    // UTF-8 markup, escaped as the library escapes it, into the current hole.
    void writeMarkup(const std::string& bytes) {
        flushSave();
        if (!markup) {
            markup = xmlOutputBufferCreateIO(writeToSink, closeNothing, &context,
                                             xmlFindCharEncodingHandler(encoding));
            if (!markup)
                throw RunError(
                    QStringLiteral("No se puede escribir el documento XML en la codificación '%1'.")
                        .arg(QLatin1String(encoding)));
        }
        ErrorGuard guard(errors);
        const int written = xmlOutputBufferWrite(markup, int(bytes.size()), bytes.data());
        if (context.refused)
            target->failed();
        if (written < 0)
            throw RunError(
                QStringLiteral("No se puede escribir el documento XML: %1").arg(errors.message));
        markupDirty = true;
    }

    // Where the skeleton's holes are in its saved bytes; false when they cannot be told
    // apart there (then the document is saved whole).
    bool split(const QByteArray& skeleton, const QList<QByteArray>& holeBytes) {
        // Searched from the end: the holes are in the last element of the document, whose
        // text is all escaped, so nothing after them looks like markup that is not.
        std::vector<qsizetype> at(holes.size());
        qsizetype before = skeleton.size();
        for (std::size_t k = holes.size(); k-- > 0;) {
            const QByteArray& h = holeBytes[qsizetype(k)];
            if (h.isEmpty() || before < h.size())
                return false;
            at[k] = skeleton.lastIndexOf(h, before - h.size());
            if (at[k] < 0)
                return false;
            before = at[k];
        }
        qsizetype from = 0;
        for (std::size_t k = 0; k < holes.size(); ++k) {
            between.push_back(skeleton.mid(from, at[k] - from));
            from = at[k] + holeBytes[qsizetype(k)].size();
        }
        between.push_back(skeleton.mid(from));
        return true;
    }

    void writeSegment(std::size_t k) {
        saveDirty = true;
        flushSave();
        flushMarkup();
        target->writeOrThrow(between[k]);
    }
};

namespace {

// While alive, the document names the encoding it is being written in, as it does while
// the library writes it whole: attribute values are then written in that encoding, not
// as character references.
class WritingAs {
public:
    WritingAs(const DocumentPrivate& d, const char* encoding) : doc_(d.doc), old_(d.doc->encoding) {
        doc_->encoding = reinterpret_cast<const xmlChar*>(encoding);
    }
    ~WritingAs() { doc_->encoding = old_; }
    WritingAs(const WritingAs&) = delete;
    WritingAs& operator=(const WritingAs&) = delete;

private:
    xmlDocPtr doc_;
    const xmlChar* old_;
};

// One node as the library writes it inside the document, in the document's encoding.
QByteArray nodeBytes(const DocumentPrivate& d, xmlNodePtr n) {
    QByteArray out;
    const Sink sink = [&out](const char* data, int size) {
        out.append(data, size);
        return true;
    };
    SinkContext context{&sink};
    const auto [encoding, options] = saveSettings(d);
    ErrorCapture errors;
    ErrorGuard guard(errors);
    xmlSaveCtxtPtr save = xmlSaveToIO(writeToSink, closeNothing, &context, encoding, options);
    if (!save)
        return {};
    const WritingAs as(d, encoding);
    const long written = xmlSaveTree(save, n);
    if (xmlSaveClose(save) < 0 || written < 0)
        return {};
    return out;
}

void freeLoose(DocumentPrivate& d, xmlNodePtr n) {
    xmlUnlinkNode(n);
    std::erase(d.detached, n);
    xmlFreeNode(n);
}

} // namespace

StreamedSave::StreamedSave(const QString& path, const QList<Node>& holes)
    : d(std::make_unique<Impl>()) {
    d->path = path;
    for (const Node& h : holes) {
        xmlNodePtr n = XmlNodes::raw(h);
        if (!isElement(n) || !n->parent || n->children)
            throw RunError(QStringLiteral("Hueco no válido para guardar %1 por partes.").arg(path));
        d->holes.push_back(n);
    }
    if (d->holes.empty())
        throw RunError(QStringLiteral("No hay dónde escribir %1 por partes.").arg(path));
    d->doc = DocumentPrivate::of(d->holes.front());

    QByteArray skeleton;
    d->doc->write([&skeleton](const char* data, int size) {
        skeleton.append(data, size);
        return true;
    });
    QList<QByteArray> holeBytes;
    for (xmlNodePtr h : d->holes)
        holeBytes.append(nodeBytes(*d->doc, h));
    if (!d->split(skeleton, holeBytes))
        return; // saved whole at commit

    d->target = std::make_unique<SaveTarget>(path);
    d->sink = d->target->sink();
    const auto [encoding, options] = saveSettings(*d->doc);
    d->encoding = encoding;
    d->save = xmlSaveToIO(writeToSink, closeNothing, &d->context, encoding, options);
    if (!d->save)
        throw RunError(
            QStringLiteral("No se puede escribir el documento XML en la codificación '%1'.")
                .arg(QLatin1String(encoding)));
    d->streams = true;
    d->target->writeOrThrow(d->between[0]);
}

StreamedSave::~StreamedSave() = default;

bool StreamedSave::streams() const {
    return d->streams;
}

void StreamedSave::write(Node piece) {
    xmlNodePtr n = XmlNodes::raw(piece);
    if (!isElement(n) || n->parent || n->doc != d->doc->doc)
        throw RunError(
            QStringLiteral("Solo se escribe por partes un elemento suelto del documento."));
    if (d->hole >= d->holes.size())
        throw RunError(QStringLiteral("No quedan huecos en %1.").arg(d->path));
    if (!d->streams) {
        std::erase(d->doc->detached, n);
        xmlAddPrevSibling(d->holes[d->hole], n);
        return;
    }
    {
        d->flushMarkup();
        d->saveDirty = true;
        ErrorGuard guard(d->errors);
        const WritingAs as(*d->doc, d->encoding);
        const long written = xmlSaveTree(d->save, n);
        if (d->context.refused)
            d->target->failed();
        if (written < 0)
            throw RunError(
                QStringLiteral("No se puede escribir el documento XML: %1").arg(d->errors.message));
    }
    freeLoose(*d->doc, n);
}

void StreamedSave::nextHole() {
    if (d->hole >= d->holes.size())
        return;
    if (d->streams)
        d->writeSegment(d->hole + 1);
    ++d->hole;
}

void StreamedSave::commit() {
    if (d->streams) {
        while (d->hole < d->holes.size())
            nextHole();
        const int closed = xmlSaveClose(d->save);
        d->save = nullptr;
        const int markupClosed = d->markup ? xmlOutputBufferClose(d->markup) : 0;
        d->markup = nullptr;
        if (d->context.refused || closed < 0 || markupClosed < 0)
            d->target->failed();
        d->target->commit();
    }
    for (xmlNodePtr h : d->holes)
        freeLoose(*d->doc, h);
    d->holes.clear();
    if (!d->streams)
        saveWhole(*d->doc, d->path);
}

// ---- Pieces written without nodes ------------------------------------------------------

namespace {

// Written as a number: a quote between single quotes reads, to tools that pick the
// program's messages out of its sources, as the start of a string.
constexpr char kQuote = 0x22;

QString quoted(const char* name) {
    return QStringLiteral("'%1'").arg(QLatin1String(name));
}

void checkElementName(const char* name) {
    if (xmlValidateName(X(name), 0) != 0)
        throw RunError(
            QStringLiteral("Nombre de elemento XML no válido: '%1'.").arg(QLatin1String(name)));
}

void checkAttributeName(const char* name) {
    // A piece names the same few attributes over and over: the last one found valid is
    // not looked at again.
    thread_local std::string lastValid;
    if (lastValid == name)
        return;
    if (xmlValidateName(X(name), 0) != 0)
        throw RunError(
            QStringLiteral("Nombre de atributo XML no válido: '%1'.").arg(QLatin1String(name)));
    lastValid = name;
}

// Text as the library escapes an element's text for a save in a named encoding; most
// texts have nothing to escape and are taken as they are.
void appendEscapedText(std::string& out, const QByteArray& text) {
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
        return c == '<' || c == '>' || c == '&' || c == '\r';
    });
    if (plain) {
        out.append(text.constData(), std::size_t(text.size()));
        return;
    }
    xmlOutputBufferPtr buf = xmlAllocOutputBuffer(nullptr);
    if (!buf)
        throw RunError(QStringLiteral("No hay memoria para escribir el documento XML."));
    const int written = xmlOutputBufferWriteEscape(buf, utf8(text), nullptr);
    if (written >= 0)
        out.append(reinterpret_cast<const char*>(xmlOutputBufferGetContent(buf)),
                   xmlOutputBufferGetSize(buf));
    xmlOutputBufferClose(buf);
    if (written < 0)
        throw RunError(QStringLiteral("No hay memoria para escribir el documento XML."));
}

// An attribute's value as the library escapes it in a document that names its encoding.
QByteArray escapedAttribute(const DocumentPrivate& d, const char* encoding,
                            const QByteArray& value) {
    const bool plain = std::none_of(value.begin(), value.end(), [](char c) {
        return c == '<' || c == '>' || c == '&' || c == kQuote || c == '\n' || c == '\r' ||
               c == '\t';
    });
    if (plain)
        return value;
    xmlBufferPtr buf = xmlBufferCreate();
    if (!buf)
        throw RunError(QStringLiteral("No hay memoria para escribir el documento XML."));
    {
        const WritingAs as(d, encoding);
        xmlAttrSerializeTxtContent(buf, d.doc, nullptr, utf8(value));
    }
    QByteArray out(reinterpret_cast<const char*>(xmlBufferContent(buf)), xmlBufferLength(buf));
    xmlBufferFree(buf);
    return out;
}

} // namespace

struct Piece::Impl {
    Document* document = nullptr;
    StreamedSave* to = nullptr;
    const char* name = nullptr;
    bool bytes = false; // written as markup; otherwise built as nodes
    bool written = false;

    // As markup: the piece's attributes (escaped), its content, and the children open.
    std::vector<std::pair<const char*, QByteArray>> attributes;
    std::string body; // UTF-8, a std::string for its cheap appending
    std::vector<const char*> open;
    bool tagOpen = false; // the start tag of open.back() still lacks its '>'

    // As nodes: the piece's element first, then the children open.
    std::vector<Node> nodes;

    const char* current() const { return open.empty() ? name : open.back(); }
    [[noreturn]] void misuse(const char* what) const {
        throw RunError(QStringLiteral("No se puede %1 en %2 al escribirlo por partes.")
                           .arg(QLatin1String(what), quoted(current())));
    }
};

Piece::Piece(Document& doc, StreamedSave& to, const char* name) : d(std::make_unique<Impl>()) {
    d->document = &doc;
    d->to = &to;
    d->name = name;
    d->bytes = to.d->streams;
    if (d->bytes)
        checkElementName(name);
    else
        d->nodes.push_back(doc.createElement(QLatin1String(name)));
}

Piece::~Piece() = default;

void Piece::attribute(const char* name, const QString& value) {
    if (!d->bytes) {
        const bool own = d->nodes.size() == 1;
        if (!own && d->nodes.back().childCount() > 0)
            d->misuse("poner un atributo");
        d->nodes.back().setAttribute(QLatin1String(name), value);
        return;
    }
    if (!d->open.empty() && !d->tagOpen)
        d->misuse("poner un atributo");
    checkAttributeName(name);
    checkXmlChars(value, [&] {
        return QStringLiteral("el atributo '%1' de %2")
            .arg(QLatin1String(name), quoted(d->current()));
    });
    const StreamedSave::Impl& s = *d->to->d;
    QByteArray escaped = escapedAttribute(*s.doc, s.encoding, value.toUtf8());
    if (d->open.empty()) {
        for (auto& [n, v] : d->attributes) {
            if (std::strcmp(n, name) == 0) {
                v = std::move(escaped);
                return;
            }
        }
        d->attributes.emplace_back(name, std::move(escaped));
        return;
    }
    d->body += ' ';
    d->body += name;
    d->body += "=\"";
    d->body.append(escaped.constData(), std::size_t(escaped.size()));
    d->body += kQuote;
}

void Piece::attribute(const char* name, const char* latin1Value) {
    // A value of plain characters (the program's own names) is taken as it is; any other
    // goes the way of every text.
    const std::size_t size = std::strlen(latin1Value);
    const bool plain =
        d->bytes && std::all_of(latin1Value, latin1Value + size, [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return u >= 0x20 && u < 0x80 && c != '<' && c != '>' && c != '&' && c != kQuote;
        });
    if (!plain || d->open.empty() || !d->tagOpen) {
        attribute(name, QString::fromLatin1(latin1Value, qsizetype(size)));
        return;
    }
    checkAttributeName(name);
    d->body += ' ';
    d->body += name;
    d->body += "=\"";
    d->body.append(latin1Value, size);
    d->body += kQuote;
}

void Piece::open(const char* name) {
    if (!d->bytes) {
        Node child = d->document->createElement(QLatin1String(name));
        d->nodes.back().appendChild(child);
        d->nodes.push_back(child);
        return;
    }
    checkElementName(name);
    if (d->tagOpen)
        d->body += '>';
    d->body += '<';
    d->body += name;
    d->open.push_back(name);
    d->tagOpen = true;
}

void Piece::text(const QString& value) {
    if (!d->bytes) {
        if (d->nodes.back().childCount() > 0)
            d->misuse("poner el texto");
        d->nodes.back().setText(value);
        return;
    }
    if (d->open.empty() ? !d->body.empty() : !d->tagOpen)
        d->misuse("poner el texto");
    checkXmlChars(value, [&] { return quoted(d->current()); });
    if (value.isEmpty())
        return;
    if (d->tagOpen)
        d->body += '>';
    d->tagOpen = false;
    appendEscapedText(d->body, value.toUtf8());
}

void Piece::close() {
    if (!d->bytes) {
        if (d->nodes.size() < 2)
            d->misuse("cerrar un hijo");
        d->nodes.pop_back();
        return;
    }
    if (d->open.empty())
        d->misuse("cerrar un hijo");
    if (d->tagOpen) {
        d->body += "/>";
    } else {
        d->body += "</";
        d->body += d->open.back();
        d->body += '>';
    }
    d->open.pop_back();
    d->tagOpen = false;
}

void Piece::write() {
    if (d->written || (d->bytes ? !d->open.empty() : d->nodes.size() != 1))
        d->misuse("escribir el elemento");
    d->written = true;
    if (!d->bytes) {
        d->to->write(d->nodes.front());
        return;
    }
    if (d->to->d->hole >= d->to->d->holes.size())
        throw RunError(QStringLiteral("No quedan huecos en %1.").arg(d->to->d->path));
    std::string out;
    out.reserve(d->body.size() + 128);
    out += '<';
    out += d->name;
    for (const auto& [n, v] : d->attributes) {
        out += ' ';
        out += n;
        out += "=\"";
        out.append(v.constData(), std::size_t(v.size()));
        out += kQuote;
    }
    if (d->body.empty()) {
        out += "/>";
    } else {
        out += '>';
        out += d->body;
        out += "</";
        out += d->name;
        out += '>';
    }
    d->to->d->writeMarkup(out);
}

} // namespace exchange
