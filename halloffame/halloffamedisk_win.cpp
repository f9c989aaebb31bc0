// SPDX-License-Identifier: MIT
// Windows: the path is opened without following a symbolic link or a
// junction and judged by what was opened. Copies of the game take turns by a
// byte-range lock far past the end of the file, so that the lock never stands
// in the way of the data. A save writes a new file under one of a few fixed
// names beside the old one and puts it in the old one's place with
// ReplaceFileW, which gives it the old one's ACL, attributes and streams.
#include "halloffamedisk.h"
#include "halloffamelinereader.h"
#include "halloffamelines.h"

#include <algorithm>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
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
// a program reading or saving for a few milliseconds: a start or a save waits
// this long in all, then goes on without. Of that, a lock held for good
// leaves the last second to a rename that waits for a reader.
constexpr qint64 PatienceMilliseconds = 5000;
constexpr qint64 RenameMilliseconds = 1000;
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
// A save writes its new file under one of these names beside the old one. A
// player may create files in C:\Windows\Temp but usually not list it: a
// killed save's leftover is found by trying each name.
constexpr int TemporaryNameCount = 4;
// What is carried over to the new file where ReplaceFileW does not (Wine).
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM
    | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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

// A path of MAX_PATH characters or more in the \\?\ form, which Windows takes
// at any length; the programs' manifest declares them long-path aware too,
// which counts where the system allows long paths.
std::wstring nativeOf(const QString &path)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    if (native.size() < MAX_PATH || native.starts_with(L"\\\\?\\"))
        return native;
    std::wstring full(::GetFullPathNameW(native.c_str(), 0, nullptr, nullptr), L'\0');
    full.resize(::GetFullPathNameW(native.c_str(), DWORD(full.size()), full.data(), nullptr));
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
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
// A save's exclusive lock leaves the rename time to wait for a reader.
Handle openLocked(const QString &path, DWORD access, DWORD optional, DWORD lockFlags, Action action,
    const QDeadlineTimer &deadline, bool missingIsFine = false)
{
    const QDeadlineTimer lockDeadline
        = lockFlags & LOCKFILE_EXCLUSIVE_LOCK ? deadline - RenameMilliseconds : deadline;
    for (int attempt = 1;; ++attempt) {
        Handle file = openJudged(path, access, optional, action, deadline, missingIsFine);
        if (!file.isOpen())
            return file;
        lock(file, lockFlags, lockDeadline);
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

// ReplaceFileW needs DELETE on the file (from its DACL or the folder's
// FILE_DELETE_CHILD), and the file must not be read-only; another user's
// machine-wide file grants no DELETE. It keeps the file's ACL but not its
// owner: another user's file, even one the player may replace, is rewritten
// in place.
bool mayReplace(const Handle &old)
{
    BY_HANDLE_FILE_INFORMATION info {};
    return (old.access() & DELETE) && ::GetFileInformationByHandle(old.get(), &info)
        && !(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) && isPlayersOwn(old);
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
// such a file, so what it removes was left by a save that was cut off. A
// leftover of another user's that we may not delete stays. Only once the file
// is whole: until then a leftover may be the one copy of the last save.
void removeLeftovers(const QString &path)
{
    for (int index = 0; index < TemporaryNameCount; ++index)
        ::DeleteFileW(nativeOf(temporaryPath(path, index)).c_str());
}

// Makes a new name in the folder durable where the file system allows it;
// FlushFileBuffers asks for the right to add files to a folder. A folder that
// cannot be flushed is no reason to fail.
void flushFolder(const QString &path)
{
    const Handle folder(::CreateFileW(nativeOf(QFileInfo(path).absolutePath()).c_str(),
        FILE_ADD_FILE, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder.isOpen())
        ::FlushFileBuffers(folder.get());
}

// Gives the open file the name `target` (a rename by handle needs DELETE
// access): 0, or the error. With FILE_RENAME_FLAG_REPLACE_IF_EXISTS in the
// place of whatever has the name, link or file: a rename replaces the name,
// never what it points to. Without it, ERROR_ALREADY_EXISTS where the name is
// taken.
DWORD renameOpen(const Handle &file, const QString &target, DWORD flags)
{
    const std::wstring name = nativeOf(QFileInfo(target).absoluteFilePath());
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t), 0);
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    // FileRenameInfo reads ReplaceIfExists, the first byte of Flags.
    info->Flags = flags;
    info->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->FileName);
    return ::SetFileInformationByHandle(file.get(), FileRenameInfo, info, DWORD(buffer.size()))
        ? 0
        : ::GetLastError();
}

// A save cut off once its new file was whole, before or while that took the
// target's name (a stick pulled, a rename that the file system makes in
// several writes), can leave no file at the path and the whole new one under
// its own name. The newest such file that no save holds becomes the file;
// true when one did.
bool takeUpLeftover(const QString &path)
{
    Handle newest;
    FILETIME newestTime {};
    for (int index = 0; index < TemporaryNameCount; ++index) {
        // Without sharing writes: a save's own handle refuses it.
        Handle file(
            ::CreateFileW(nativeOf(temporaryPath(path, index)).c_str(), GENERIC_READ | DELETE,
                FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION info {};
        if (!file.isOpen() || !::GetFileInformationByHandle(file.get(), &info)
            || (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            || info.nNumberOfLinks != 1 || ::GetFileType(file.get()) != FILE_TYPE_DISK)
            continue;
        QByteArray content(ChunkBytes + 1, Qt::Uninitialized);
        DWORD count = 0;
        if (!::ReadFile(file.get(), content.data(), DWORD(content.size()), &count, nullptr)
            || !HallOfFameLines::isWholeFile(QByteArrayView(content).first(count)))
            continue;
        if (newest.isOpen() && ::CompareFileTime(&info.ftLastWriteTime, &newestTime) < 0)
            continue;
        newest = std::move(file);
        newestTime = info.ftLastWriteTime;
    }
    return newest.isOpen() && renameOpen(newest, path, 0) == 0;
}

// What ReplaceFileW says while another program has the file, or the new one,
// open without sharing its deletion: a virus scanner reading the new file, a
// file server.
bool heldOpen(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
        || error == ERROR_UNABLE_TO_REMOVE_REPLACED;
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
    // refused the file. With `fifthName`, a random name follows the others
    // (another user may hold them all), marked for deletion until the file is
    // whole, so that Windows removes it should the program end before.
    DWORD open(const QString &target, const Rules &rules, bool fifthName)
    {
        NewFileSecurity security;
        DWORD error = security.make(rules);
        if (error != 0)
            return error;
        for (int index = 0; index < TemporaryNameCount + int(fifthName); ++index) {
            const QString name = index < TemporaryNameCount ? temporaryPath(target, index)
                                                            : target + QStringLiteral(".new-")
                    + QString::number(QRandomGenerator::system()->generate64(), 36);
            // CREATE_NEW never opens what is at the name, link or file. Readers
            // may open the file once it has the target's name.
            m_file = Handle(
                ::CreateFileW(nativeOf(name).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                    security.attributes(), CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (m_file.isOpen()) {
                m_name = name;
                if (index == TemporaryNameCount)
                    m_deleteOnClose = setDeleteOnClose(true);
                return 0;
            }
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

    // What ReplaceFileW gives the new file on Windows but not under Wine: the
    // old one's attributes, such as hidden.
    void takeAttributesOf(const Handle &old)
    {
        FILE_BASIC_INFO info {};
        if (!::GetFileInformationByHandleEx(old.get(), FileBasicInfo, &info, sizeof info)
            || !(info.FileAttributes & KeptAttributes))
            return;
        // Times of 0 stay as they are.
        FILE_BASIC_INFO kept {};
        kept.FileAttributes = info.FileAttributes & KeptAttributes;
        ::SetFileInformationByHandle(m_file.get(), FileBasicInfo, &kept, sizeof kept);
    }

    // Writes the file whole and flushes it: 0, or the error.
    DWORD fill(const QByteArray &content)
    {
        const DWORD error = writeAll(m_file, content);
        if (error == 0 && !::FlushFileBuffers(m_file.get()))
            return ::GetLastError();
        return error;
    }

    // Gives the whole file the target's name: 0, or the error (see
    // renameOpen()).
    DWORD rename(const QString &target, DWORD flags)
    {
        if (m_deleteOnClose)
            m_deleteOnClose = !setDeleteOnClose(false);
        const DWORD error = renameOpen(m_file, target, flags);
        if (error == 0)
            forget();
        return error;
    }

    // A rename in place of a file that appeared meanwhile: retried while a
    // program reads that for a moment.
    DWORD renameWaiting(const QString &target, const QDeadlineTimer &deadline)
    {
        for (;;) {
            const DWORD error = rename(target, FILE_RENAME_FLAG_REPLACE_IF_EXISTS);
            if (!heldOpen(error) || deadline.hasExpired())
                return error;
            ::Sleep(PollMilliseconds);
        }
    }

    // Puts the whole file in the place of the target with ReplaceFileW,
    // retried while another program holds the target open: 0, or the error.
    DWORD replaceTarget(const QString &target, const QDeadlineTimer &deadline)
    {
        // ReplaceFileW opens the new file itself, and Wine's only where no
        // other handle has it open. Flushed before: the file is whole
        // whatever the close says.
        m_file.close();
        const std::wstring name = nativeOf(m_name);
        for (;;) {
            if (::ReplaceFileW(
                    nativeOf(target).c_str(), name.c_str(), nullptr, 0, nullptr, nullptr)) {
                m_name.clear();
                return 0;
            }
            const DWORD error = ::GetLastError();
            // Wine's moves the old file away before it moves the new one in:
            // should the second step fail, the new file takes the free name.
            if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT
                && ::MoveFileExW(name.c_str(), nativeOf(target).c_str(), 0)) {
                m_name.clear();
                return 0;
            }
            if (!heldOpen(error) || deadline.hasExpired())
                return error;
            ::Sleep(PollMilliseconds);
        }
    }

    void discard()
    {
        // Deleted by handle, as it is closed: whatever has its name by then
        // is not touched. Once closed for ReplaceFileW, by its name.
        if (m_file.isOpen())
            setDeleteOnClose(true);
        else if (!m_name.isEmpty())
            ::DeleteFileW(nativeOf(m_name).c_str());
        forget();
    }

private:
    bool setDeleteOnClose(bool remove)
    {
        FILE_DISPOSITION_INFO disposition { remove };
        return ::SetFileInformationByHandle(
            m_file.get(), FileDispositionInfo, &disposition, sizeof disposition);
    }
    void forget()
    {
        m_file = Handle();
        m_name.clear();
        m_deleteOnClose = false;
    }

    Handle m_file;
    QString m_name;
    bool m_deleteOnClose = false;
};

bool noRoomBeside(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_FILE_EXISTS;
}

bool diskFull(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

QString temporaryFailure(DWORD error)
{
    return error == ERROR_FILE_EXISTS ? namesTakenReason() : systemReason(error);
}

// Puts a new file, whole and flushed, in the place of the old one (or of
// nothing): 0, or the error.
DWORD putNewFile(const QString &path, const Handle &old, const QByteArray &content,
    const Rules &rules, const QDeadlineTimer &deadline)
{
    TemporaryFile file;
    DWORD error = file.open(path, rules, false);
    if (error == 0 && old.isOpen())
        file.takeAttributesOf(old);
    if (error == 0)
        error = file.fill(content);
    if (error != 0)
        return error;
    return old.isOpen() ? file.replaceTarget(path, deadline) : file.renameWaiting(path, deadline);
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
    if (!takeUpLeftover(path)) {
        TemporaryFile file;
        DWORD error = file.open(path, rules, true);
        if (error != 0)
            fail(Action::Create, path, temporaryFailure(error));
        error = file.fill(content);
        if (error == 0)
            error = file.rename(path, 0);
        // Someone else was quicker: judged like a file found at the start.
        if (error == ERROR_ALREADY_EXISTS && exists(path, rules, Action::Use))
            return;
        if (error != 0)
            fail(Action::Create, path, systemReason(error));
    }
    flushFolder(path);
    removeLeftovers(path);
}

void replace(const QString &path, const QByteArray &content, const Rules &rules)
{
    const QDeadlineTimer deadline(PatienceMilliseconds);
    // Locked until the new file has the name, or across the rewrite in place,
    // so that no other copy rewrites the old file in between.
    Handle old = openLocked(
        path, GENERIC_READ, DELETE, LOCKFILE_EXCLUSIVE_LOCK, Action::Write, deadline, true);
    const DWORD error = old.isOpen() && !mayReplace(old)
        ? ERROR_ACCESS_DENIED
        : putNewFile(path, old, content, rules, deadline);
    if (error == 0) {
        flushFolder(path);
    } else if (old.isOpen()
        && (noRoomBeside(error) || heldOpen(error) || diskFull(error)
            || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT)) {
        // Another user's file, a folder the player may not write, every
        // temporary name taken, a full disk, or the file held open for longer
        // than we wait: the file itself takes the new content, in the space
        // it has.
        rewriteLocked(old, content, path, deadline);
    } else {
        fail(Action::Write, path, temporaryFailure(error));
    }
    removeLeftovers(path);
}

void rewriteInPlace(const QString &path, const QByteArray &content, const Rules &)
{
    const QDeadlineTimer deadline(PatienceMilliseconds);
    Handle file
        = openLocked(path, GENERIC_READ, 0, LOCKFILE_EXCLUSIVE_LOCK, Action::Write, deadline);
    rewriteLocked(file, content, path, deadline);
}

} // namespace HallOfFameDisk
