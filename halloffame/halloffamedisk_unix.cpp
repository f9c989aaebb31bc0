// SPDX-License-Identifier: MIT
#include "halloffamedisk.h"
#include "halloffamelinereader.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
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

void judge(const struct stat &status, Action action, const QString &path)
{
    if (S_ISLNK(status.st_mode))
        fail(action, path, symbolicLinkReason());
    if (!S_ISREG(status.st_mode))
        fail(action, path, notRegularReason());
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
Descriptor openLocked(
    const QString &path, int flags, int lockOperation, Action action, bool missingIsFine = false)
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
        judge(statusOf(file.get(), action, path), action, path);
        lock(file.get(), lockOperation, deadline);
        if (stillAtPath(file.get(), nativePath))
            break;
    }
    return file;
}

// Writes over the locked file from its start and cuts it there.
void rewriteLocked(Descriptor &file, const QByteArray &content, const QString &path)
{
    // Whatever took the path meanwhile, the player's results must not go to
    // a file that no longer has it.
    if (!stillAtPath(file.get(), QFile::encodeName(path)))
        fail(Action::Write, path, HallOfFameError::movedReason());
    // Every other name of the file would change too. For another user's file
    // that the player may write, that is what its owner chose, and refusing
    // would let anyone stop the save by adding a name.
    const struct stat status = statusOf(file.get(), Action::Write, path);
    if (status.st_nlink > 1 && status.st_uid == ::geteuid())
        fail(Action::Write, path, HallOfFameError::hardLinkReason());
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

QByteArray folderOf(const QByteArray &nativePath)
{
    const qsizetype slash = nativePath.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : nativePath.first(slash);
}

// A save gives its new file the first free one of a few names of its own
// before it renames it over the old one; one killed in between leaves the
// file under that name, which the next save removes. Where another user
// holds all of them, a random name is used, which nothing cleans up.
constexpr int SaveNameCount = 8;

QByteArray saveName(const QByteArray &target, int number)
{
    if (number <= SaveNameCount)
        return target + ".saving" + QByteArray::number(number);
    return target + ".saving-" + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

// A save holds its new file locked until it has the target's name: one
// that can be locked was left by a save that was killed.
void removeIfLeftOver(const QByteArray &path)
{
    Descriptor file(::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status {
    };
    if (file.isOpen() && ::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode)
        && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 && stillAtPath(file.get(), path))
        ::unlink(path.constData());
}

// By name, never by listing the folder: the work is the same whatever the
// folder holds, and a folder the player may not list is cleaned too.
void removeLeftovers(const QByteArray &target)
{
    for (int number = 1; number <= SaveNameCount; ++number)
        removeIfLeftOver(saveName(target, number));
}

bool refusedForLackOfPermission(int error)
{
    return error == EPERM || error == EACCES;
}

// What FAT and exFAT say to a hard link, or to permission bits they cannot
// keep.
bool unsupported(int error)
{
    return error == EPERM || error == ENOSYS || error == EOPNOTSUPP;
}

// Like rename(), but 0 only where nothing had the name `to`.
int renameIfFree(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // The file system has no way to do both at once; only a copy starting at
    // the same moment could come in between, with the same default lines.
    struct stat status {
    };
    if (::lstat(to.constData(), &status) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

// A new file in the folder of `target`, locked, with no name where the file
// system allows it: a save that dies then leaves nothing behind. Where it
// does not (FAT, exFAT), the file has one of the save's names until whole.
class TemporaryFile
{
public:
    // 0, or the errno when no file could be made. `mode` 0666 follows the
    // umask.
    int open(const QByteArray &target, mode_t mode)
    {
        m_target = target;
#ifdef O_TMPFILE
        m_file = Descriptor(
            ::open(folderOf(target).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (m_file.isOpen()) {
            ::flock(m_file.get(), LOCK_EX | LOCK_NB);
            return 0;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
#endif
        return openNamed(mode);
    }
    ~TemporaryFile()
    {
        forgetName();
    }

    // Writes the file whole, with the permissions given if any, and syncs
    // it: 0, or the errno of the first failure. It stays open and locked
    // until it has the target's name.
    int fill(const QByteArray &content, std::optional<mode_t> mode)
    {
        int error = 0;
        if (mode && ::fchmod(m_file.get(), *mode) != 0 && !unsupported(errno))
            error = errno;
        if (error == 0)
            error = writeAll(m_file.get(), content);
        if (error == 0 && ::fsync(m_file.get()) != 0)
            error = errno;
        return error;
    }

    // Gives the whole file the target's name where nothing has it: 0, EEXIST
    // or another errno.
    int linkAsTarget()
    {
        if (m_name.isEmpty())
            return linkUnnamed(m_target);
        int error = ::link(m_name.constData(), m_target.constData()) == 0 ? 0 : errno;
        if (error == 0) {
            forgetName();
        } else if (unsupported(error)) {
            error = renameIfFree(m_name, m_target);
            if (error == 0)
                m_name.clear();
        }
        return error;
    }

    // Puts the whole file in the place of whatever has the target's name.
    int replaceTarget()
    {
        if (m_name.isEmpty()) {
            int error = EEXIST;
            for (int number = 1; error == EEXIST && number <= SaveNameCount + 1; ++number) {
                const QByteArray name = saveName(m_target, number);
                error = linkUnnamed(name);
                if (error == 0)
                    m_name = name;
            }
            if (error != 0)
                return error;
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
    int openNamed(mode_t mode)
    {
        for (int number = 1; number <= SaveNameCount + 1; ++number) {
            const QByteArray name = saveName(m_target, number);
            m_file = Descriptor(::open(
                name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!m_file.isOpen() && errno == EEXIST)
                continue;
            if (!m_file.isOpen())
                return errno;
            ::flock(m_file.get(), LOCK_EX | LOCK_NB);
            // Another save took it for a leftover before the lock.
            if (stillAtPath(m_file.get(), name)) {
                m_name = name;
                return 0;
            }
        }
        return EEXIST;
    }
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

bool exists(const QString &path, const Rules &, Action action)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno == ENOENT)
            return false;
        fail(action, path, systemReason(errno));
    }
    judge(status, action, path);
    return true;
}

QStringList readLines(const QString &path, const Rules &)
{
    Descriptor file = openLocked(path, O_RDONLY, LOCK_SH, Action::Read);
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
    const QByteArray nativePath = QFile::encodeName(path);
    removeLeftovers(nativePath);
    TemporaryFile file;
    // Default lines: nothing to hide while the file is being made.
    int error = file.open(nativePath, 0666);
    if (error == 0)
        error
            = file.fill(content, rules.everyoneWrites ? std::optional<mode_t>(0666) : std::nullopt);
    if (error == 0)
        error = file.linkAsTarget();
    // Someone else was quicker: judged like a file found at the start.
    if (error == EEXIST && exists(path, rules, Action::Use))
        return;
    if (error != 0)
        fail(Action::Create, path, systemReason(error));
}

void replace(const QString &path, const QByteArray &content, const Rules &rules)
{
    const QByteArray nativePath = QFile::encodeName(path);
    // Held until the new file has taken the old one's place: a rewrite in
    // place by another user waits, then finds the new file.
    Descriptor old = openLocked(path, O_WRONLY, LOCK_EX, Action::Write, true);
    // The new file is made private, so that nobody opens it before it has
    // the old one's permissions, which it keeps, never wider.
    std::optional<mode_t> mode;
    if (old.isOpen())
        mode = statusOf(old.get(), Action::Write, path).st_mode & 0777;
    else if (rules.everyoneWrites)
        mode = 0666;
    removeLeftovers(nativePath);
    TemporaryFile file;
    int error = file.open(nativePath, mode ? 0600 : 0666);
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

void rewriteInPlace(const QString &path, const QByteArray &content, const Rules &)
{
    Descriptor file = openLocked(path, O_WRONLY, LOCK_EX, Action::Write);
    rewriteLocked(file, content, path);
}

} // namespace HallOfFameDisk
