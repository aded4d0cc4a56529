#include "exchange/XmlSupport.h"

#include "run/RunError.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <cerrno>

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
        .arg(path, f.errorString());
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
    // Unbuffered, so that a failing write is seen with its reason at once.
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw RunError(saveFailure(f, errno, path));
    int error = 0;
    try {
        d->write([&f, &error](const char* data, int size) {
            errno = 0;
            if (f.write(data, size) == size)
                return true;
            error = errno;
            return false;
        });
    } catch (const DocumentPrivate::WriteFailed&) {
        throw RunError(saveFailure(f, error, path));
    }
    errno = 0;
    if (!f.commit())
        throw RunError(saveFailure(f, errno, path));
}

} // namespace exchange
