// SPDX-License-Identifier: MIT
// Windows: the path is opened without following a symbolic link or a
// junction and judged by what was opened. Copies of the game take turns by a
// byte-range lock far past the end of the file, so that the lock never stands
// in the way of the data. A save writes a new file under one of a few fixed
// names beside the old one and renames it over the old one's name.
#include "halloffamedisk.h"
#include "halloffamelinereader.h"

#include <algorithm>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <utility>
#include <vector>
#include <windows.h>
// Need windows.h before them.
#include <aclapi.h>
#include <sddl.h>

namespace HallOfFameDisk
{
namespace
{

using Action = HallOfFameError::Action;

constexpr DWORD ChunkBytes = 64 * 1024;
// Every holder of a lock, or of a handle that shares less than we ask for, is
// a program reading or saving for a few milliseconds; one that holds on for
// seconds is no longer waited for.
constexpr qint64 PatienceMilliseconds = 5000;
constexpr DWORD PollMilliseconds = 10;
// Another save may replace the file between our open and our lock.
constexpr int OpenAttempts = 20;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Never through a link or junction; a folder is opened only to be refused.
constexpr DWORD OpenFlags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
// Byte-range locks are mandatory on Windows: bytes locked through one handle
// cannot be read or written through another. Copies therefore lock one byte
// that no file reaches, as embedded databases do: below 2^63, since offsets
// are signed and a file server may keep the lock as a POSIX one, and far above
// the 8 PiB that an NTFS file can hold.
constexpr quint64 LockOffset = 0x7FFF'FFFF'0000'0000;
// FileRenameInfoEx (Windows 10 1607), which MinGW's minwinbase.h declares only
// for a _WIN32_WINNT that no Windows version has.
constexpr auto FileRenameInfoExClass = FILE_INFO_BY_HANDLE_CLASS(22);
// A save writes its new file under one of these names beside the old one. A
// player may create files in C:\Windows\Temp but usually not list it: the
// next save finds a killed save's leftover by trying each name.
constexpr int TemporaryNameCount = 4;

[[noreturn]] void fail(Action action, const QString &path, const QString &reason)
{
    throw HallOfFameError(action, path, reason);
}

QString systemReason(DWORD error)
{
    return qt_error_string(int(error));
}

QString linkReason()
{
    return QStringLiteral("the path is a symbolic link or a junction");
}

QString namesTakenReason()
{
    return QStringLiteral("every temporary name beside the file is in use");
}

std::wstring nativeOf(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString temporaryPath(const QString &path, int index)
{
    return path + QStringLiteral(".new%1").arg(index + 1);
}

class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE, DWORD access = 0)
        : m_handle(handle)
        , m_access(access)
    {
    }
    Handle(Handle &&other) noexcept
        : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE))
        , m_access(other.m_access)
    {
    }
    Handle &operator=(Handle &&other) noexcept
    {
        std::swap(m_handle, other.m_handle);
        std::swap(m_access, other.m_access);
        return *this;
    }
    ~Handle()
    {
        if (isOpen())
            ::CloseHandle(m_handle);
    }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    // The access the handle was opened with.
    DWORD access() const { return m_access; }
    // 0, or the error of the failed close.
    DWORD close()
    {
        return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) ? 0 : ::GetLastError();
    }

private:
    HANDLE m_handle;
    DWORD m_access;
};

// Sleeps once and returns true while it is worth trying again: CreateFileW
// fails with ERROR_SHARING_VIOLATION while another handle to the file shares
// less than the new one asks for.
bool waitedOut(DWORD error, const QDeadlineTimer &deadline)
{
    if (error != ERROR_SHARING_VIOLATION || deadline.hasExpired())
        return false;
    ::Sleep(PollMilliseconds);
    return true;
}

Handle openExisting(const std::wstring &path, DWORD access, DWORD flags,
    const QDeadlineTimer &deadline, DWORD &error)
{
    for (;;) {
        Handle file(
            ::CreateFileW(path.c_str(), access, ShareAll, nullptr, OPEN_EXISTING, flags, nullptr),
            access);
        error = file.isOpen() ? 0 : ::GetLastError();
        if (!waitedOut(error, deadline))
            return file;
    }
}

struct Identity {
    DWORD volume = 0;
    quint64 index = 0;
    bool operator==(const Identity &) const = default;
};

// The volume's serial number and the file index identify a file on the
// machine.
Identity identityOf(const Handle &file)
{
    BY_HANDLE_FILE_INFORMATION info {};
    if (!::GetFileInformationByHandle(file.get(), &info))
        return {};
    return { info.dwVolumeSerialNumber, quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow };
}

// The file's attributes once it is judged a regular file. A file with more
// than one name is read and replaced like any other: the other name keeps the
// old bytes.
DWORD judge(const Handle &file, Action action, const QString &path)
{
    FILE_ATTRIBUTE_TAG_INFO tag {};
    BY_HANDLE_FILE_INFORMATION info {};
    if (!::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &tag, sizeof tag)
        || !::GetFileInformationByHandle(file.get(), &info))
        fail(action, path, systemReason(::GetLastError()));
    // Symbolic links, junctions and mount points name another file; other
    // reparse points (cloud placeholders, deduplicated files) are the file.
    if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        && IsReparseTagNameSurrogate(tag.ReparseTag))
        fail(action, path, linkReason());
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || ::GetFileType(file.get()) != FILE_TYPE_DISK)
        fail(action, path, QStringLiteral("the path is not a regular file"));
    return tag.FileAttributes;
}

bool isMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The regular file at the path, opened with `access` and, where they are
// granted, the `optional` rights too; not open when nothing is there and
// `missingIsFine`.
Handle openJudged(const QString &path, DWORD access, DWORD optional, Action action,
    const QDeadlineTimer &deadline, bool missingIsFine = false)
{
    const std::wstring nativePath = nativeOf(path);
    DWORD error = 0;
    Handle file;
    if (optional != 0)
        file = openExisting(nativePath, access | optional, OpenFlags, deadline, error);
    if (!file.isOpen())
        file = openExisting(nativePath, access, OpenFlags, deadline, error);
    if (!file.isOpen()) {
        if (missingIsFine && isMissing(error))
            return file;
        fail(action, path, systemReason(error));
    }
    if (!(judge(file, action, path) & FILE_ATTRIBUTE_REPARSE_POINT))
        return file;
    // FILE_FLAG_OPEN_REPARSE_POINT opens the reparse point itself, whether or
    // not its filter is there to serve the data: opened again without it.
    // What a link put at the path in between names is another file.
    Handle served = openExisting(nativePath, file.access(), 0, deadline, error);
    if (!served.isOpen())
        fail(action, path, systemReason(error));
    if (identityOf(served) != identityOf(file))
        fail(action, path, linkReason());
    return served;
}

// The copies' lock: shared to read, exclusive to write. LockFileEx with
// LOCKFILE_FAIL_IMMEDIATELY fails with ERROR_LOCK_VIOLATION while another
// handle holds a lock on the byte that conflicts.
void lock(const Handle &file, DWORD flags, const QDeadlineTimer &deadline)
{
    for (;;) {
        OVERLAPPED at {};
        at.Offset = DWORD(LockOffset);
        at.OffsetHigh = DWORD(LockOffset >> 32);
        if (::LockFileEx(file.get(), flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
            return;
        // A file system without locks is used without them.
        if (::GetLastError() != ERROR_LOCK_VIOLATION || deadline.hasExpired())
            return;
        ::Sleep(PollMilliseconds);
    }
}

bool stillAtPath(const Handle &file, const QString &path)
{
    // Opening for attributes alone meets no sharing violation.
    Handle atPath(::CreateFileW(nativeOf(path).c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
        OPEN_EXISTING, OpenFlags, nullptr));
    return atPath.isOpen() && identityOf(atPath) == identityOf(file);
}

// As openJudged(), and locked. LockFileEx needs GENERIC_READ or GENERIC_WRITE.
Handle openLocked(const QString &path, DWORD access, DWORD optional, DWORD lockFlags, Action action,
    const QDeadlineTimer &deadline, bool missingIsFine = false)
{
    for (int attempt = 1;; ++attempt) {
        Handle file = openJudged(path, access, optional, action, deadline, missingIsFine);
        if (!file.isOpen())
            return file;
        lock(file, lockFlags, deadline);
        if (attempt == OpenAttempts || stillAtPath(file, path))
            return file;
    }
}

// 0, or the error of the failed write.
DWORD writeAll(const Handle &file, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        DWORD written = 0;
        const DWORD wanted = DWORD(qMin<qsizetype>(bytes.size(), 1 << 30));
        if (!::WriteFile(file.get(), bytes.data(), wanted, &written, nullptr))
            return ::GetLastError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        bytes = bytes.sliced(written);
    }
    return 0;
}

// Whether the token holds the SID: TOKEN_USER and TOKEN_OWNER both begin
// with a pointer to theirs.
bool tokenNames(HANDLE token, TOKEN_INFORMATION_CLASS kind, PSID sid)
{
    DWORD size = 0;
    ::GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<char> buffer(size);
    return size >= sizeof(PSID) && ::GetTokenInformation(token, kind, buffer.data(), size, &size)
        && ::EqualSid(*reinterpret_cast<PSID *>(buffer.data()), sid);
}

// Whether the file belongs to the player: its owner is the user, or the owner
// the user's files get (the Administrators group, for some administrators).
// GetSecurityInfo needs READ_CONTROL, which GENERIC_READ includes. A file
// whose owner cannot be told is taken for the player's.
bool isPlayersOwn(const Handle &file)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    HANDLE token = nullptr;
    if (::GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
            nullptr, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return true;
    bool own = !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)
        || tokenNames(token, TokenUser, owner) || tokenNames(token, TokenOwner, owner);
    if (token)
        ::CloseHandle(token);
    ::LocalFree(descriptor);
    return own;
}

// Writes over the locked file from its start, cuts it there and flushes it.
void rewriteLocked(const Handle &locked, const QByteArray &content, const QString &path,
    const QDeadlineTimer &deadline)
{
    // ReOpenFile opens the very file the handle refers to, not a name. Write
    // data is all that WriteFile, SetEndOfFile (FileEndOfFileInformation) and
    // FlushFileBuffers (write or append data) check; GENERIC_WRITE would also
    // ask for the attribute rights that the machine-wide file grants its
    // owner alone.
    Handle file;
    DWORD error = 0;
    do {
        file = Handle(::ReOpenFile(locked.get(), FILE_WRITE_DATA, ShareAll, 0));
        error = file.isOpen() ? 0 : ::GetLastError();
    } while (waitedOut(error, deadline));
    if (error != 0)
        fail(Action::Write, path, systemReason(error));
    // Whatever took the path meanwhile, the player's results must not go to a
    // file that no longer has it.
    if (!stillAtPath(locked, path))
        fail(Action::Write, path, HallOfFameError::movedReason());
    // Every other name of the file would change too. For another user's file
    // that the player may write, that is what its owner chose, and refusing
    // would let anyone stop the save by adding a name.
    BY_HANDLE_FILE_INFORMATION info {};
    if (::GetFileInformationByHandle(locked.get(), &info) && info.nNumberOfLinks > 1
        && isPlayersOwn(locked))
        fail(Action::Write, path, HallOfFameError::hardLinkReason());
    LARGE_INTEGER length {};
    length.QuadPart = content.size();
    error = writeAll(file, content);
    if (error == 0
        && (!::SetFilePointerEx(file.get(), length, nullptr, FILE_BEGIN)
            || !::SetEndOfFile(file.get())))
        error = ::GetLastError();
    if (error == 0 && !::FlushFileBuffers(file.get()))
        error = ::GetLastError();
    if (error == 0)
        error = file.close();
    if (error != 0)
        fail(Action::Write, path, systemReason(error));
}

// A rename over the file needs DELETE on it (from its DACL or the folder's
// FILE_DELETE_CHILD), and the target must not be read-only. Another user's
// machine-wide file grants no DELETE: it can only be rewritten in place.
bool mayRenameOver(const Handle &old)
{
    BY_HANDLE_FILE_INFORMATION info {};
    return (old.access() & DELETE) && ::GetFileInformationByHandle(old.get(), &info)
        && !(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
}

// The folder's own permissions, or, where every user writes, read, write-data
// and append-data for everyone: one Hall of Fame for all the machine's
// players. Its attributes (READONLY would stop every save), extended
// attributes, name and permissions only its owner, SYSTEM and the
// administrators may change; CreateHardLinkW, too, asks for
// FILE_WRITE_ATTRIBUTES. Protected, so that nothing inherited from the folder
// widens it.
class NewFileSecurity
{
public:
    // 0, or the error of making the descriptor.
    DWORD make(const Rules &rules)
    {
        if (!rules.everyoneWrites)
            return 0;
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;OW)(A;;0x12008f;;;WD)", SDDL_REVISION_1,
                &m_descriptor, nullptr))
            return ::GetLastError();
        m_attributes.lpSecurityDescriptor = m_descriptor;
        return 0;
    }
    ~NewFileSecurity()
    {
        if (m_descriptor)
            ::LocalFree(m_descriptor);
    }
    SECURITY_ATTRIBUTES *attributes() { return m_descriptor ? &m_attributes : nullptr; }

private:
    PSECURITY_DESCRIPTOR m_descriptor = nullptr;
    SECURITY_ATTRIBUTES m_attributes { sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE };
};

// A save keeps its temporary file open, without FILE_SHARE_DELETE, until the
// file has the target's name; DeleteFileW fails with a sharing violation on
// such a file, so what it removes was left by a save that was killed. A
// leftover of another user's that we may not delete stays.
void removeLeftovers(const QString &path)
{
    for (int index = 0; index < TemporaryNameCount; ++index)
        ::DeleteFileW(nativeOf(temporaryPath(path, index)).c_str());
}

// The new file of a save, under a temporary name until it takes the
// target's; deleted if it never does.
class TemporaryFile
{
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile() { discard(); }

    // 0; ERROR_FILE_EXISTS when every name is in use; or why the folder
    // refused the file.
    DWORD open(const QString &target, const Rules &rules)
    {
        NewFileSecurity security;
        DWORD error = security.make(rules);
        if (error != 0)
            return error;
        removeLeftovers(target);
        for (int index = 0; index < TemporaryNameCount; ++index) {
            // CREATE_NEW never opens what is at the name, link or file. Readers
            // may open the file once it has the target's name.
            m_file = Handle(::CreateFileW(nativeOf(temporaryPath(target, index)).c_str(),
                GENERIC_WRITE | DELETE, FILE_SHARE_READ, security.attributes(), CREATE_NEW,
                FILE_ATTRIBUTE_NORMAL, nullptr));
            if (m_file.isOpen())
                return 0;
            error = ::GetLastError();
            // ERROR_ACCESS_DENIED also comes for a name whose deletion is
            // pending; a folder that refuses new files refuses every name.
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS
                && error != ERROR_ACCESS_DENIED)
                return error;
            if (error == ERROR_ALREADY_EXISTS)
                error = ERROR_FILE_EXISTS;
        }
        return error;
    }

    // Writes the file whole and flushes it: 0, or the error.
    DWORD fill(const QByteArray &content)
    {
        const DWORD error = writeAll(m_file, content);
        if (error == 0 && !::FlushFileBuffers(m_file.get()))
            return ::GetLastError();
        return error;
    }

    // Gives the open file the target's name (the rename by handle needs
    // DELETE access): 0, or the error. With FILE_RENAME_FLAG_REPLACE_IF_EXISTS
    // in the place of whatever has the name, link or file: a rename replaces
    // the name, never what it points to.
    DWORD rename(const QString &target, FILE_INFO_BY_HANDLE_CLASS kind, DWORD flags)
    {
        const std::wstring name = nativeOf(QFileInfo(target).absoluteFilePath());
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t), 0);
        auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
        // FileRenameInfo reads ReplaceIfExists, the first byte of Flags.
        info->Flags = flags;
        info->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
        std::copy(name.begin(), name.end(), info->FileName);
        if (!::SetFileInformationByHandle(m_file.get(), kind, info, DWORD(buffer.size())))
            return ::GetLastError();
        // Flushed before: the file is whole whatever the close says.
        m_file.close();
        return 0;
    }

    // A rename that cannot replace a file that is open, the old way: retried
    // while a copy reads the file for a moment (ERROR_ACCESS_DENIED) or has
    // it open without FILE_SHARE_DELETE (ERROR_SHARING_VIOLATION).
    DWORD renameWaiting(const QString &target, const QDeadlineTimer &deadline)
    {
        for (;;) {
            const DWORD error = rename(target, FileRenameInfo, FILE_RENAME_FLAG_REPLACE_IF_EXISTS);
            if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
                || deadline.hasExpired())
                return error;
            ::Sleep(PollMilliseconds);
        }
    }

    void discard()
    {
        // Deleted by handle, as it is closed: whatever has its name by then
        // is not touched.
        FILE_DISPOSITION_INFO disposition { TRUE };
        if (m_file.isOpen())
            ::SetFileInformationByHandle(
                m_file.get(), FileDispositionInfo, &disposition, sizeof disposition);
        m_file = Handle();
    }

private:
    Handle m_file;
};

bool noRoomBeside(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_FILE_EXISTS;
}

QString temporaryFailure(DWORD error)
{
    return error == ERROR_FILE_EXISTS ? namesTakenReason() : systemReason(error);
}

} // namespace

bool exists(const QString &path, const Rules &, Action action)
{
    const QDeadlineTimer deadline(PatienceMilliseconds);
    return openJudged(path, FILE_READ_ATTRIBUTES, 0, action, deadline, true).isOpen();
}

QStringList readLines(const QString &path, const Rules &)
{
    const QDeadlineTimer deadline(PatienceMilliseconds);
    Handle file = openLocked(path, GENERIC_READ, 0, 0, Action::Read, deadline);
    HallOfFameLineReader reader;
    QByteArray chunk(ChunkBytes, Qt::Uninitialized);
    for (;;) {
        DWORD count = 0;
        const DWORD wanted = DWORD(qMin<qsizetype>(chunk.size(), reader.bytesLeft()));
        if (!::ReadFile(file.get(), chunk.data(), wanted, &count, nullptr))
            fail(Action::Read, path, systemReason(::GetLastError()));
        if (count == 0 || !reader.feed(QByteArrayView(chunk).first(count)))
            break;
    }
    return reader.finish();
}

void create(const QString &path, const QByteArray &content, const Rules &rules)
{
    TemporaryFile file;
    DWORD error = file.open(path, rules);
    if (error != 0)
        fail(Action::Create, path, temporaryFailure(error));
    error = file.fill(content);
    // A rename without FILE_RENAME_FLAG_REPLACE_IF_EXISTS fails with
    // ERROR_ALREADY_EXISTS where the name is taken.
    if (error == 0)
        error = file.rename(path, FileRenameInfo, 0);
    // Someone else was quicker: judged like a file found at the start.
    if (error == ERROR_ALREADY_EXISTS && exists(path, rules, Action::Use))
        return;
    if (error != 0)
        fail(Action::Create, path, systemReason(error));
}

void replace(const QString &path, const QByteArray &content, const Rules &rules)
{
    const QDeadlineTimer deadline(PatienceMilliseconds);
    // Locked until the new file has the name, or across the rewrite in place,
    // so that no other copy rewrites the old file in between.
    Handle old = openLocked(
        path, GENERIC_READ, DELETE, LOCKFILE_EXCLUSIVE_LOCK, Action::Write, deadline, true);
    const bool fileExists = old.isOpen();
    if (fileExists && !mayRenameOver(old))
        return rewriteLocked(old, content, path, deadline);
    TemporaryFile file;
    DWORD error = file.open(path, rules);
    // A folder the player may not write, or every temporary name taken: only
    // the file itself can take the new content.
    if (fileExists && noRoomBeside(error))
        return rewriteLocked(old, content, path, deadline);
    if (error == 0)
        error = file.fill(content);
    if (error != 0)
        fail(Action::Write, path, temporaryFailure(error));
    // With POSIX semantics (NTFS, Windows 10 1607 on) a rename replaces a file
    // that has open handles, ours with its lock included: the file keeps its
    // lock until the new one has the name. Elsewhere the old one is closed
    // first, since a rename cannot replace an open file.
    if (fileExists
        && file.rename(path, FileRenameInfoExClass,
               FILE_RENAME_FLAG_REPLACE_IF_EXISTS | FILE_RENAME_FLAG_POSIX_SEMANTICS)
            == 0)
        return;
    old = Handle();
    error = file.renameWaiting(path, deadline);
    if (error == 0)
        return;
    file.discard();
    // The file held open for longer than we wait: written in place, under a
    // lock of its own.
    if (fileExists && (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION))
        return rewriteInPlace(path, content, rules);
    fail(Action::Write, path, systemReason(error));
}

void rewriteInPlace(const QString &path, const QByteArray &content, const Rules &)
{
    const QDeadlineTimer deadline(PatienceMilliseconds);
    Handle file
        = openLocked(path, GENERIC_READ, 0, LOCKFILE_EXCLUSIVE_LOCK, Action::Write, deadline);
    rewriteLocked(file, content, path, deadline);
}

} // namespace HallOfFameDisk
