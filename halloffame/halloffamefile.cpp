// SPDX-License-Identifier: MIT
#include "halloffamefile.h"

#include "halloffameerror.h"
#include "halloffamelinereader.h"
#include "halloffamelines.h"

#include <QFile>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#else
#include <QFileInfo>
#endif

namespace HallOfFameFile
{
namespace
{

using Action = HallOfFameError::Action;

constexpr qsizetype ChunkBytes = 64 * 1024;

[[noreturn]] void fail(Action action, const QString &path, const QString &reason)
{
    throw HallOfFameError(action, path, reason);
}

QString symbolicLinkReason()
{
    return QStringLiteral("the path is a symbolic link");
}

QString notRegularReason()
{
    return QStringLiteral("the path is not a regular file");
}

// QSaveFile::commit() ignores a failure of the writes it still has to flush
// (QTBUG-75077) and of the sync, and would then put a truncated file in
// place: both are done and checked before.
void replaceAtomically(const QString &path, const QByteArray &content, Action action)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(action, path, file.errorString());
    bool written = file.write(content) == content.size() && file.flush();
    QString reason = file.errorString();
#ifdef Q_OS_UNIX
    if (written && ::fsync(file.handle()) != 0) {
        written = false;
        reason = qt_error_string(errno);
    }
#endif
    if (!written) {
        file.cancelWriting();
        fail(action, path, reason);
    }
    if (!file.commit())
        fail(action, path, file.errorString());
}

#ifdef Q_OS_UNIX

// Closes the descriptor on every way out; close() reports a failure once.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    int close() { return ::close(std::exchange(m_fd, -1)) == 0 ? 0 : errno; }

private:
    int m_fd;
};

QString systemReason(int error)
{
    return qt_error_string(error);
}

// Why an open failed: what lies at the path if that explains it, else the
// system's reason.
QString openFailure(const QByteArray &nativePath, int error)
{
    struct stat status {
    };
    if (::lstat(nativePath.constData(), &status) == 0) {
        if (S_ISLNK(status.st_mode) && error == ELOOP)
            return symbolicLinkReason();
        if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
            return notRegularReason();
    }
    return systemReason(error);
}

// 0 or the errno of the failed write.
int writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(fd, bytes.data(), size_t(bytes.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : EIO;
        bytes = bytes.sliced(written);
    }
    return 0;
}

void requireRegular(int fd, Action action, const QString &path)
{
    struct stat status {
    };
    if (::fstat(fd, &status) != 0)
        fail(action, path, systemReason(errno));
    if (!S_ISREG(status.st_mode))
        fail(action, path, notRegularReason());
}

// What lies at the path, judged before anything is created or replaced there.
// Returns false when nothing does.
bool existingRegularFile(const QString &path, Sharing sharing, Action action)
{
    const QByteArray nativePath = QFile::encodeName(path);
    struct stat status {
    };
    const int result = sharing == Sharing::MachineWide ? ::lstat(nativePath.constData(), &status)
                                                       : ::stat(nativePath.constData(), &status);
    if (result != 0) {
        if (errno == ENOENT)
            return false;
        fail(action, path, systemReason(errno));
    }
    if (S_ISLNK(status.st_mode))
        fail(action, path, symbolicLinkReason());
    if (!S_ISREG(status.st_mode))
        fail(action, path, notRegularReason());
    return true;
}

QStringList readLines(const QString &path, Sharing sharing)
{
    const QByteArray nativePath = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO at the path must not stall the open.
    const int flags
        = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (sharing == Sharing::MachineWide ? O_NOFOLLOW : 0);
    Descriptor file(::open(nativePath.constData(), flags));
    if (file.get() < 0)
        fail(Action::Read, path, openFailure(nativePath, errno));
    requireRegular(file.get(), Action::Read, path);

    HallOfFameLineReader reader;
    QByteArray chunk(ChunkBytes, Qt::Uninitialized);
    for (;;) {
        const ssize_t count = ::read(file.get(), chunk.data(), size_t(chunk.size()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            fail(Action::Read, path, systemReason(errno));
        if (count == 0 || !reader.feed(QByteArrayView(chunk).first(count)))
            break;
    }
    return reader.finish();
}

// O_EXCL and O_NOFOLLOW: whatever appeared at the path meanwhile is neither
// followed nor replaced.
// Opens the new file to every user, writes it whole, syncs and closes it:
// 0 when all of it went well, else the system's error.
int fillShared(Descriptor &file, const QByteArray &content)
{
    int error = ::fchmod(file.get(), 0666) == 0 ? 0 : errno;
    if (error == 0)
        error = writeAll(file.get(), content);
    if (error == 0 && ::fsync(file.get()) != 0)
        error = errno;
    if (error == 0)
        error = file.close();
    return error;
}

void createShared(const QString &path, const QByteArray &content)
{
    const QByteArray nativePath = QFile::encodeName(path);
    Descriptor file(
        ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        const int error = errno;
        // Someone else was quicker: judged like a file found at the start.
        if (error == EEXIST && existingRegularFile(path, Sharing::MachineWide, Action::Create))
            return;
        fail(Action::Create, path, openFailure(nativePath, error));
    }
    int error = fillShared(file, content);
    if (error != 0) {
        // Left behind, a partial file would be taken as the Hall of Fame.
        ::unlink(nativePath.constData());
        fail(Action::Create, path, systemReason(error));
    }
}

// A file its owner made read-only is not replaced behind his back, just as
// QSaveFile does not replace it.
void requireWritable(const QString &path)
{
    const QByteArray nativePath = QFile::encodeName(path);
    Descriptor file(::open(nativePath.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        fail(Action::Write, path, openFailure(nativePath, errno));
}

bool refusedByFolder(int error)
{
    return error == EPERM || error == EACCES;
}

// A temporary file beside the target, renamed over it. Returns false when the
// folder refuses while an existing file could still be rewritten in place:
// in a sticky folder another user's file cannot be replaced.
bool replaceShared(const QString &path, const QByteArray &content, bool fileExists)
{
    const QByteArray nativePath = QFile::encodeName(path);
    QByteArray temporaryPath = nativePath + ".XXXXXX";
    Descriptor file(::mkostemp(temporaryPath.data(), O_CLOEXEC));
    if (file.get() < 0) {
        if (fileExists && refusedByFolder(errno))
            return false;
        fail(Action::Write, path, systemReason(errno));
    }
    int error = fillShared(file, content);
    if (error == 0 && ::rename(temporaryPath.constData(), nativePath.constData()) != 0)
        error = errno;
    if (error == 0)
        return true;
    ::unlink(temporaryPath.constData());
    if (fileExists && refusedByFolder(error))
        return false;
    fail(Action::Write, path, systemReason(error));
}

#endif

} // namespace

void makeIfMissing(const QString &path, Sharing sharing)
{
    const QByteArray content = HallOfFameLines::formatLines(HallOfFameLines::defaultLines());
#ifdef Q_OS_UNIX
    if (existingRegularFile(path, sharing, Action::Create))
        return;
    if (sharing == Sharing::MachineWide)
        createShared(path, content);
    else
        replaceAtomically(path, content, Action::Create);
#else
    Q_UNUSED(sharing);
    if (!QFileInfo::exists(path))
        replaceAtomically(path, content, Action::Create);
#endif
}

QStringList load(const QString &path, Sharing sharing)
{
#ifdef Q_OS_UNIX
    return HallOfFameLines::withDefaults(readLines(path, sharing));
#else
    Q_UNUSED(sharing);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(Action::Read, path, file.errorString());
    HallOfFameLineReader reader;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(ChunkBytes);
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            fail(Action::Read, path, file.errorString());
        if (chunk.isEmpty() || !reader.feed(chunk))
            break;
    }
    return HallOfFameLines::withDefaults(reader.finish());
#endif
}

void save(const QString &path, const QStringList &entries, Sharing sharing)
{
    const QByteArray content = HallOfFameLines::formatLines(HallOfFameLines::withDefaults(entries));
#ifdef Q_OS_UNIX
    if (sharing == Sharing::MachineWide) {
        const bool exists = existingRegularFile(path, sharing, Action::Write);
        if (exists)
            requireWritable(path);
        if (!replaceShared(path, content, exists))
            rewriteInPlace(path, content);
        return;
    }
    existingRegularFile(path, sharing, Action::Write);
#else
    Q_UNUSED(sharing);
#endif
    replaceAtomically(path, content, Action::Write);
}

void rewriteInPlace(const QString &path, const QByteArray &content)
{
#ifdef Q_OS_UNIX
    const QByteArray nativePath = QFile::encodeName(path);
    Descriptor file(::open(nativePath.constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        fail(Action::Write, path, openFailure(nativePath, errno));
    requireRegular(file.get(), Action::Write, path);
    int error = writeAll(file.get(), content);
    if (error == 0 && ::ftruncate(file.get(), off_t(content.size())) != 0)
        error = errno;
    if (error == 0 && ::fsync(file.get()) != 0)
        error = errno;
    if (error == 0)
        error = file.close();
    if (error != 0)
        fail(Action::Write, path, systemReason(error));
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.write(content) != content.size()
        || !file.resize(content.size()) || !file.flush())
        fail(Action::Write, path, file.errorString());
#endif
}

} // namespace HallOfFameFile
