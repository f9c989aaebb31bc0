// SPDX-License-Identifier: MIT
#include "halloffamedisk.h"
#include "halloffamelinereader.h"
#include "halloffamelines.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/magic.h>
#include <optional>
#include <QDeadlineTimer>
#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

namespace HallOfFameDisk
{
namespace
{

using Action = HallOfFameError::Action;

constexpr qsizetype ChunkBytes = 64 * 1024;
// Every holder of a lock is this program, reading or saving for a few
// milliseconds, and a lease is a file server's, given up as soon as it is
// asked for. One held for seconds is someone's attempt to stop the game: a
// start or a save waits this long in all, then goes on without.
constexpr qint64 WaitMilliseconds = 5000;
constexpr useconds_t PollMicroseconds = 10 * 1000;
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

// Sleeps once, unless the wait is over.
bool waitedOnce(const QDeadlineTimer &deadline)
{
    if (deadline.hasExpired())
        return false;
    ::usleep(PollMicroseconds);
    return true;
}

void lock(int fd, int operation, const QDeadlineTimer &deadline)
{
    // A file system without locks is used without them.
    while (::flock(fd, operation | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR)
        && waitedOnce(deadline)) { }
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

// O_NONBLOCK: a FIFO at the path must not stall the open, and a lease that
// another program holds on the file, which the open asks it to give up, is
// waited for here within the deadline, not for as long as the kernel allows
// its holder (45 s).
Descriptor openWaiting(const QByteArray &nativePath, int flags, const QDeadlineTimer &deadline)
{
    for (;;) {
        Descriptor file(
            ::open(nativePath.constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        if (file.isOpen() || errno != EWOULDBLOCK)
            return file;
        if (!waitedOnce(deadline)) {
            errno = EWOULDBLOCK;
            return file;
        }
    }
}

// The regular file at the path, opened and locked; not open when nothing is
// there and `missingIsFine`.
Descriptor openLocked(const QString &path, int flags, int lockOperation, Action action,
    const QDeadlineTimer &deadline, bool missingIsFine = false)
{
    const QByteArray nativePath = QFile::encodeName(path);
    Descriptor file;
    for (int attempt = 0; attempt < OpenAttempts; ++attempt) {
        file = openWaiting(nativePath, flags, deadline);
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

QByteArray folderOf(const QByteArray &nativePath)
{
    const qsizetype slash = nativePath.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : nativePath.first(slash);
}

// Makes a new name in the folder durable: without it a stick pulled, or a
// machine that loses power, soon after the save may still hold the old file.
// A folder that cannot be synced (or read) is no reason to fail.
void syncFolder(const QByteArray &target)
{
    const Descriptor folder(
        ::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isOpen())
        ::fsync(folder.get());
}

// Writes over the locked file from its start, cuts it there and syncs it.
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

// A save gives its new file the first free one of a few names of its own
// before it renames it over the old one. Where another user holds all of
// them, a random name is used, which nothing cleans up.
constexpr int SaveNameCount = 8;

QByteArray saveName(const QByteArray &target, int number)
{
    if (number <= SaveNameCount)
        return target + ".saving" + QByteArray::number(number);
    return target + ".saving-" + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

bool refusedForLackOfPermission(int error)
{
    return error == EPERM || error == EACCES;
}

bool noSpace(int error)
{
    return error == ENOSPC || error == EDQUOT;
}

// What FAT and exFAT say to a hard link.
bool unsupported(int error)
{
    return error == EPERM || error == ENOSYS || error == EOPNOTSUPP;
}

// FAT and exFAT keep no permission bits: their kernel drivers refuse a change
// with EPERM, FUSE drivers without one with ENOSYS.
bool keepsNoModes(int fd, int error)
{
    if (error == ENOSYS || error == EOPNOTSUPP)
        return true;
    struct statfs fileSystem {
    };
    return error == EPERM && ::fstatfs(fd, &fileSystem) == 0
        && (fileSystem.f_type == MSDOS_SUPER_MAGIC || fileSystem.f_type == EXFAT_SUPER_MAGIC);
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

// A save holds its new file locked until it has the target's name: one that
// can be locked was left by a save that was cut off. The lock stays with the
// returned descriptor.
Descriptor openLeftOver(const QByteArray &name)
{
    Descriptor file(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat status {
    };
    if (file.isOpen() && ::fstat(file.get(), &status) == 0 && S_ISREG(status.st_mode)
        && ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 && stillAtPath(file.get(), name))
        return file;
    return Descriptor();
}

// By name, never by listing the folder: the work is the same whatever the
// folder holds, and a folder the player may not list is cleaned too. Only
// once the file itself is whole: until then a leftover may be the one copy
// of the last save.
void removeLeftovers(const QByteArray &target)
{
    for (int number = 1; number <= SaveNameCount; ++number) {
        const QByteArray name = saveName(target, number);
        if (openLeftOver(name).isOpen())
            ::unlink(name.constData());
    }
}

// A save cut off once its new file was whole, before or while that file took
// the target's name (a stick pulled, a rename that exFAT makes in three
// writes), can leave no file at the path and the whole new one under its own
// name. The newest such file becomes the file; true when one did.
bool takeUpLeftover(const QByteArray &target)
{
    Descriptor newest;
    QByteArray newestName;
    struct timespec newestTime {
    };
    for (int number = 1; number <= SaveNameCount; ++number) {
        const QByteArray name = saveName(target, number);
        Descriptor file = openLeftOver(name);
        struct stat status {
        };
        if (!file.isOpen() || ::fstat(file.get(), &status) != 0 || status.st_nlink != 1)
            continue;
        QByteArray content(ChunkBytes + 1, Qt::Uninitialized);
        const ssize_t count = ::read(file.get(), content.data(), size_t(content.size()));
        if (count <= 0 || !HallOfFameLines::isWholeFile(QByteArrayView(content).first(count)))
            continue;
        const struct timespec time = status.st_mtim;
        if (newest.isOpen()
            && std::pair(time.tv_sec, time.tv_nsec)
                < std::pair(newestTime.tv_sec, newestTime.tv_nsec))
            continue;
        newest = std::move(file);
        newestName = name;
        newestTime = time;
    }
    return newest.isOpen() && renameIfFree(newestName, target) == 0;
}

// The file's extended attributes by name, POSIX ACLs among them: none where
// the file system keeps none, nothing when they cannot be read.
std::optional<QMap<QByteArray, QByteArray>> attributesOf(int fd)
{
    QMap<QByteArray, QByteArray> attributes;
    QByteArray names(4096, Qt::Uninitialized);
    const ssize_t size = ::flistxattr(fd, names.data(), size_t(names.size()));
    if (size < 0)
        return errno == EOPNOTSUPP ? std::optional(attributes) : std::nullopt;
    for (const QByteArray &name : names.first(size).split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t length = ::fgetxattr(fd, name.constData(), nullptr, 0);
        QByteArray value(qMax(length, ssize_t(0)), Qt::Uninitialized);
        if (length < 0 || ::fgetxattr(fd, name.constData(), value.data(), size_t(length)) != length)
            return std::nullopt;
        attributes.insert(name, value);
    }
    return attributes;
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

    // Gives the file the group, extended attributes and permissions of the
    // old one, as far as the system lets it: true when it then has all that
    // the old one had, its owner too, so that replacing loses nothing.
    bool takeOver(int old)
    {
        struct stat before {
        };
        struct stat now {
        };
        const int fd = m_file.get();
        if (::fstat(old, &before) != 0 || ::fstat(fd, &now) != 0)
            return false;
        if (now.st_gid != before.st_gid)
            ::fchown(fd, uid_t(-1), before.st_gid);
        const auto attributes = attributesOf(old);
        const auto own = attributesOf(fd);
        if (!attributes || !own)
            return false;
        for (const QByteArray &name : own->keys()) {
            if (!attributes->contains(name))
                ::fremovexattr(fd, name.constData());
        }
        for (auto it = attributes->cbegin(); it != attributes->cend(); ++it) {
            if (own->value(it.key()) != it.value())
                ::fsetxattr(
                    fd, it.key().constData(), it.value().constData(), size_t(it.value().size()), 0);
        }
        ::fchmod(fd, before.st_mode & 07777);
        return ::fstat(fd, &now) == 0 && now.st_uid == before.st_uid && now.st_gid == before.st_gid
            && (now.st_mode & 07777) == (before.st_mode & 07777) && attributesOf(fd) == attributes;
    }

    // Readable and writable by every user, where the file system keeps
    // permissions: 0, or why not.
    int shareWithEveryone()
    {
        if (::fchmod(m_file.get(), 0666) == 0 || keepsNoModes(m_file.get(), errno))
            return 0;
        return errno;
    }

    // Writes the file whole and syncs it: 0, or the errno of the first
    // failure. It stays open and locked until it has the target's name.
    int fill(const QByteArray &content)
    {
        int error = writeAll(m_file.get(), content);
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

// What putNewFile() says where the new file could not have all the old one
// has.
constexpr int WouldLose = -1;

// Puts a new file, whole and synced, at the target: in the place of the old
// one (when open) or of whatever has the name, or, `ifFree`, only where
// nothing has it. 0, WouldLose, EEXIST or the errno of the failure.
int putNewFile(const QByteArray &target, const Descriptor &old, const QByteArray &content,
    const Rules &rules, bool ifFree = false)
{
    TemporaryFile file;
    // Private until it has the old one's permissions, never wider.
    int error = file.open(target, old.isOpen() ? 0600 : 0666);
    if (error == 0 && old.isOpen() && !file.takeOver(old.get()))
        return WouldLose;
    if (error == 0 && !old.isOpen() && rules.everyoneWrites)
        error = file.shareWithEveryone();
    if (error == 0)
        error = file.fill(content);
    if (error == 0)
        error = ifFree ? file.linkAsTarget() : file.replaceTarget();
    return error;
}

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
    const QDeadlineTimer deadline(WaitMilliseconds);
    Descriptor file = openLocked(path, O_RDONLY, LOCK_SH, Action::Read, deadline);
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
    if (!takeUpLeftover(nativePath)) {
        const int error = putNewFile(nativePath, Descriptor(), content, rules, true);
        // Someone else was quicker: judged like a file found at the start.
        if (error == EEXIST && exists(path, rules, Action::Use))
            return;
        if (error != 0)
            fail(Action::Create, path, systemReason(error));
    }
    syncFolder(nativePath);
    removeLeftovers(nativePath);
}

void replace(const QString &path, const QByteArray &content, const Rules &rules)
{
    const QByteArray nativePath = QFile::encodeName(path);
    const QDeadlineTimer deadline(WaitMilliseconds);
    // Held until the new file has taken the old one's place: a rewrite in
    // place by another user waits, then finds the new file.
    Descriptor old = openLocked(path, O_WRONLY, LOCK_EX, Action::Write, deadline, true);
    const int error = putNewFile(nativePath, old, content, rules);
    if (error == 0) {
        syncFolder(nativePath);
    } else if (old.isOpen()
        && (error == WouldLose || refusedForLackOfPermission(error) || noSpace(error))) {
        // Another user's file (or one whose group, permissions or ACL a new
        // file could not have), a folder the player may not write, or a full
        // disk: the file itself takes the new content, in the space it has.
        rewriteLocked(old, content, path);
    } else {
        fail(Action::Write, path, systemReason(error));
    }
    removeLeftovers(nativePath);
}

void rewriteInPlace(const QString &path, const QByteArray &content, const Rules &)
{
    const QDeadlineTimer deadline(WaitMilliseconds);
    Descriptor file = openLocked(path, O_WRONLY, LOCK_EX, Action::Write, deadline);
    rewriteLocked(file, content, path);
}

} // namespace HallOfFameDisk
