#include "tables/LockedFile.h"

#include "tables/NativeFile.h"

namespace tables {

LockedFile::LockedFile() : file_(std::make_unique<detail::NativeFile>()) {}

LockedFile::~LockedFile() = default;

LockedFile::OpenResult LockedFile::open(const QString& path, Lock lock, bool create,
                                        QString* error) {
    const auto kind = lock == Lock::Shared ? detail::LockKind::Shared : detail::LockKind::Exclusive;
    switch (file_->open(path, kind, create, error)) {
    case detail::NativeFile::OpenResult::Ok:
        return OpenResult::Ok;
    case detail::NativeFile::OpenResult::Locked:
        return OpenResult::Locked;
    case detail::NativeFile::OpenResult::Missing:
        return OpenResult::Missing;
    case detail::NativeFile::OpenResult::Failed:
        break;
    }
    return OpenResult::Failed;
}

void LockedFile::close() {
    file_->close();
}

bool LockedFile::isOpen() const {
    return file_->isOpen();
}

qint64 LockedFile::size(QString* error) const {
    return file_->size(error);
}

bool LockedFile::readAll(QByteArray* out, QString* error) const {
    return file_->nativeReadAll(out, error);
}

bool LockedFile::readAt(qint64 offset, char* data, qint64 size, qint64* got, QString* error) const {
    return file_->nativeReadAt(offset, data, size, got, error);
}

bool LockedFile::replaceAll(const QByteArray& bytes, QString* error) {
    return file_->nativeTruncate(0, error) &&
           file_->nativeWriteAt(0, bytes.constData(), bytes.size(), error);
}

} // namespace tables
