// SPDX-License-Identifier: MIT
#include "halloffamedisk.h"
#include "halloffamelinereader.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace HallOfFameDisk
{
namespace
{

using Action = HallOfFameError::Action;

constexpr qsizetype ChunkBytes = 64 * 1024;
// Every holder of a lock is this program, reading or saving for a few
// milliseconds. A lock held for seconds is someone's attempt to stop the
// game, and is then no longer waited for.
constexpr qint64 LockWaitMilliseconds = 5000;
constexpr useconds_t LockPollMicroseconds = 10 * 1000;
// Another save may replace the file between our open and our lock.
constexpr int OpenAttempts = 20;

[[noreturn]] void fail(Action action, const QString &path, const QString &reason)
{
    throw HallOfFameError(action, path, reason);
}

QString systemReason(int error)
{
    return qt_error_string(error);
}

QString symbolicLinkReason()
{
    return QStringLiteral("the path is a symbolic link");
}

QString notRegularReason()
{
    return QStringLiteral("the path is not a regular file");
}

QString hardLinkReason()
{
    return QStringLiteral("the file has more than one name (a hard link)");
}

// Closes the descriptor on every way out; close() reports a failure once.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    Descriptor(Descriptor &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    int close() { return ::close(std::exchange(m_fd, -1)) == 0 ? 0 : errno; }

private:
    int m_fd;
};

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

void judge(const struct stat &status, const Rules &rules, Action action, const QString &path)
{
    if (S_ISLNK(status.st_mode))
        fail(action, path, symbolicLinkReason());
    if (!S_ISREG(status.st_mode))
        fail(action, path, notRegularReason());
    if (rules.refuseHardLinks && status.st_nlink > 1)
        fail(action, path, hardLinkReason());
}

struct stat statusOf(int fd, Action action, const QString &path)
{
    struct stat status {
    };
    if (::fstat(fd, &status) != 0)
        fail(action, path, systemReason(errno));
    return status;
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

void lock(int fd, int operation, const QDeadlineTimer &deadline)
{
    while (::flock(fd, operation | LOCK_NB) != 0) {
        // A file system without locks is used without them.
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired())
            return;
        ::usleep(LockPollMicroseconds);
    }
}

bool stillAtPath(int fd, const QByteArray &nativePath)
{
    struct stat opened {
    };
    struct stat atPath {
    };
    return ::fstat(fd, &opened) == 0 && ::lstat(nativePath.constData(), &atPath) == 0
        && opened.st_dev == atPath.st_dev && opened.st_ino == atPath.st_ino;
}

// The regular file at the path, opened and locked; not open when nothing is
// there and `missingIsFine`.
Descriptor openLocked(const QString &path, int flags, int lockOperation, const Rules &rules,
    Action action, bool missingIsFine = false)
{
    const QByteArray nativePath = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO at the path must not stall the open.
    flags |= O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    const QDeadlineTimer deadline(LockWaitMilliseconds);
    Descriptor file;
    for (int attempt = 0; attempt < OpenAttempts; ++attempt) {
        file = Descriptor(::open(nativePath.constData(), flags));
        if (!file.isOpen()) {
            if (errno == ENOENT && missingIsFine)
                return file;
            fail(action, path, openFailure(nativePath, errno));
        }
        judge(statusOf(file.get(), action, path), rules, action, path);
        lock(file.get(), lockOperation, deadline);
        if (stillAtPath(file.get(), nativePath))
            break;
    }
    return file;
}

// Writes over the locked file from its start and cuts it there.
void rewriteLocked(Descriptor &file, const QByteArray &content, const QString &path)
{
    // Written in place, every other name of the file would change too.
    if (statusOf(file.get(), Action::Write, path).st_nlink > 1)
        fail(Action::Write, path, hardLinkReason());
    int error = ::lseek(file.get(), 0, SEEK_SET) == 0 ? 0 : errno;
    if (error == 0)
        error = writeAll(file.get(), content);
    if (error == 0 && ::ftruncate(file.get(), off_t(content.size())) != 0)
        error = errno;
    if (error == 0 && ::fsync(file.get()) != 0)
        error = errno;
    if (error == 0)
        error = file.close();
    if (error != 0)
        fail(Action::Write, path, systemReason(error));
}

mode_t newFileMode(const Rules &rules)
{
    if (rules.everyoneWrites)
        return 0666;
    // The program has one thread: nothing can create a file in between.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

QByteArray folderOf(const QByteArray &nativePath)
{
    const qsizetype slash = nativePath.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : nativePath.first(slash);
}

constexpr qsizetype TemporarySuffixLength = 13;

QByteArray temporaryName(const QByteArray &nativePath)
{
    return nativePath + '.'
        + QByteArray::number(QRandomGenerator::system()->generate64(), 36)
              .rightJustified(TemporarySuffixLength, '0');
}

bool isTemporaryName(QByteArrayView name, QByteArrayView fileName)
{
    if (name.size() != fileName.size() + 1 + TemporarySuffixLength || !name.startsWith(fileName)
        || name.at(fileName.size()) != '.')
        return false;
    for (const char c : name.sliced(fileName.size() + 1)) {
        if (!(c >= '0' && c <= '9') && !(c >= 'a' && c <= 'z'))
            return false;
    }
    return true;
}

// A save holds its named temporary file locked until the name is gone: one
// that can be locked was left by a save that was killed.
void removeIfLeftOver(const QByteArray &path)
{
    Descriptor file(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (file.isOpen() && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0
        && stillAtPath(file.get(), path))
        ::unlink(path.constData());
}

void removeLeftovers(const QByteArray &nativePath)
{
    const QByteArray folder = folderOf(nativePath);
    const qsizetype slash = nativePath.lastIndexOf('/');
    const QByteArray fileName = nativePath.sliced(slash + 1);
    DIR *entries = ::opendir(folder.constData());
    if (!entries)
        return;
    while (const dirent *entry = ::readdir(entries)) {
        if (isTemporaryName(entry->d_name, fileName))
            removeIfLeftOver(folder + '/' + entry->d_name);
    }
    ::closedir(entries);
}

bool refusedForLackOfPermission(int error)
{
    return error == EPERM || error == EACCES;
}

// A new file in the folder of `target`, with no name where the file system
// allows it: a save that dies leaves nothing behind. Where it does not, the
// file has a temporary name until it is whole.
class TemporaryFile
{
public:
    // 0, or the errno when no file could be made.
    int open(const QByteArray &target)
    {
        m_target = target;
#ifdef O_TMPFILE
        m_file = Descriptor(
            ::open(folderOf(target).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (m_file.isOpen()) {
            ::flock(m_file.get(), LOCK_EX | LOCK_NB);
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
#endif
        m_name = target + ".XXXXXX";
        m_file = Descriptor(::mkostemp(m_name.data(), O_CLOEXEC));
        if (m_file.isOpen())
            return 0;
        m_name.clear();
        return errno;
    }
    ~TemporaryFile()
    {
        forgetName();
    }

    // Writes the file whole, with its permissions, syncs and closes it: 0, or
    // the errno of the first failure.
    int fill(const QByteArray &content, mode_t mode)
    {
        int error = ::fchmod(m_file.get(), mode) == 0 ? 0 : errno;
        if (error == 0)
            error = writeAll(m_file.get(), content);
        if (error == 0 && ::fsync(m_file.get()) != 0)
            error = errno;
        if (error == 0 && !m_name.isEmpty())
            error = m_file.close();
        return error;
    }

    // Gives the whole file the target's name where nothing has it: 0, EEXIST
    // or another errno.
    int linkAsTarget()
    {
        if (m_name.isEmpty())
            return linkUnnamed(m_target);
        const int error = ::link(m_name.constData(), m_target.constData()) == 0 ? 0 : errno;
        forgetName();
        return error;
    }

    // Puts the whole file in the place of whatever has the target's name.
    int replaceTarget()
    {
        if (m_name.isEmpty()) {
            QByteArray name;
            int error = EEXIST;
            while (error == EEXIST) {
                name = temporaryName(m_target);
                error = linkUnnamed(name);
            }
            if (error != 0)
                return error;
            m_name = name;
        }
        if (::rename(m_name.constData(), m_target.constData()) != 0) {
            const int error = errno;
            forgetName();
            return error;
        }
        m_name.clear();
        return 0;
    }

private:
    int linkUnnamed(const QByteArray &name)
    {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_file.get());
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW)
            == 0)
            return 0;
        // Without /proc, only a privileged process can name the file.
        if (errno == ENOENT
            && ::linkat(m_file.get(), "", AT_FDCWD, name.constData(), AT_EMPTY_PATH) == 0)
            return 0;
        return errno;
    }
    void forgetName()
    {
        if (!m_name.isEmpty())
            ::unlink(m_name.constData());
        m_name.clear();
    }

    QByteArray m_target;
    QByteArray m_name;
    Descriptor m_file;
};

} // namespace

bool exists(const QString &path, const Rules &rules, Action action)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno == ENOENT)
            return false;
        fail(action, path, systemReason(errno));
    }
    judge(status, rules, action, path);
    return true;
}

QStringList readLines(const QString &path, const Rules &rules)
{
    Descriptor file = openLocked(path, O_RDONLY, LOCK_SH, rules, Action::Read);
    HallOfFameLineReader reader;
    QByteArray chunk(ChunkBytes, Qt::Uninitialized);
    for (;;) {
        const ssize_t count
            = ::read(file.get(), chunk.data(), size_t(qMin(chunk.size(), reader.bytesLeft())));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            fail(Action::Read, path, systemReason(errno));
        if (count == 0 || !reader.feed(QByteArrayView(chunk).first(count)))
            break;
    }
    return reader.finish();
}

void create(const QString &path, const QByteArray &content, const Rules &rules)
{
    removeLeftovers(QFile::encodeName(path));
    TemporaryFile file;
    int error = file.open(QFile::encodeName(path));
    if (error == 0)
        error = file.fill(content, newFileMode(rules));
    if (error == 0)
        error = file.linkAsTarget();
    // Someone else was quicker: judged like a file found at the start.
    if (error == EEXIST && exists(path, rules, Action::Create))
        return;
    if (error != 0)
        fail(Action::Create, path, systemReason(error));
}

void replace(const QString &path, const QByteArray &content, const Rules &rules)
{
    // Held until the new file has taken the old one's place: a rewrite in
    // place by another user waits, then finds the new file.
    Descriptor old = openLocked(path, O_WRONLY, LOCK_EX, rules, Action::Write, true);
    const mode_t mode = old.isOpen() && !rules.everyoneWrites
        ? statusOf(old.get(), Action::Write, path).st_mode & 0777
        : newFileMode(rules);
    removeLeftovers(QFile::encodeName(path));
    TemporaryFile file;
    int error = file.open(QFile::encodeName(path));
    bool folderRefused = refusedForLackOfPermission(error);
    if (error == 0)
        error = file.fill(content, mode);
    if (error == 0) {
        error = file.replaceTarget();
        folderRefused = refusedForLackOfPermission(error);
    }
    if (error == 0)
        return;
    // A folder the player may not write, or a sticky one with another
    // user's file: only the file itself can take the new content.
    if (!old.isOpen() || !folderRefused)
        fail(Action::Write, path, systemReason(error));
    rewriteLocked(old, content, path);
}

void rewriteInPlace(const QString &path, const QByteArray &content, const Rules &rules)
{
    Descriptor file = openLocked(path, O_WRONLY, LOCK_EX, rules, Action::Write);
    rewriteLocked(file, content, path);
}

} // namespace HallOfFameDisk
