// SPDX-License-Identifier: MIT
// Windows: the path is opened without following a symbolic link or a
// junction and judged by what was opened; reads and in-place rewrites hold a
// byte-range lock; a save writes a new file beside the old one and renames
// it over the old one's name.
#include "halloffamedisk.h"
#include "halloffamelinereader.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <utility>
#include <vector>

#include <windows.h>
// Needs windows.h before it.
#include <sddl.h>

namespace HallOfFameDisk
{
namespace
{

using Action = HallOfFameError::Action;

constexpr DWORD ChunkBytes = 64 * 1024;
// Every holder of a lock is this program, reading or saving for a few
// milliseconds; one held for seconds is no longer waited for.
constexpr int LockAttempts = 500;
constexpr DWORD LockPollMilliseconds = 10;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Never through a link or junction; a folder is opened only to be refused.
constexpr DWORD OpenFlags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

[[noreturn]] void fail(Action action, const QString &path, const QString &reason)
{
    throw HallOfFameError(action, path, reason);
}

QString systemReason(DWORD error)
{
    return qt_error_string(int(error));
}

std::wstring nativeOf(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

class Handle
{
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE)
        : m_handle(handle)
    {
    }
    Handle(Handle &&other) noexcept
        : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE))
    {
    }
    Handle &operator=(Handle &&other) noexcept
    {
        std::swap(m_handle, other.m_handle);
        return *this;
    }
    ~Handle()
    {
        if (isOpen())
            ::CloseHandle(m_handle);
    }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    // 0, or the error of the failed close.
    DWORD close()
    {
        return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) ? 0 : ::GetLastError();
    }

private:
    HANDLE m_handle;
};

void judge(const Handle &file, const Rules &, Action action, const QString &path)
{
    BY_HANDLE_FILE_INFORMATION info {};
    if (!::GetFileInformationByHandle(file.get(), &info))
        fail(action, path, systemReason(::GetLastError()));
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        fail(action, path, QStringLiteral("the path is a symbolic link or a junction"));
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || ::GetFileType(file.get()) != FILE_TYPE_DISK)
        fail(action, path, QStringLiteral("the path is not a regular file"));
}

bool isMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The regular file at the path; not open when nothing is there and
// `missingIsFine`.
Handle openJudged(const QString &path, DWORD access, const Rules &rules, Action action,
    bool missingIsFine = false)
{
    Handle file(::CreateFileW(nativeOf(path).c_str(), access, ShareAll, nullptr, OPEN_EXISTING,
        OpenFlags, nullptr));
    if (!file.isOpen()) {
        const DWORD error = ::GetLastError();
        if (missingIsFine && isMissing(error))
            return file;
        fail(action, path, systemReason(error));
    }
    judge(file, rules, action, path);
    return file;
}

void lock(const Handle &file, DWORD flags)
{
    for (int attempt = 0; attempt < LockAttempts; ++attempt) {
        OVERLAPPED whole {};
        if (::LockFileEx(file.get(), flags | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                &whole))
            return;
        if (::GetLastError() != ERROR_LOCK_VIOLATION && ::GetLastError() != ERROR_IO_PENDING)
            return;
        ::Sleep(LockPollMilliseconds);
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

DWORD writeWhole(Handle &file, const QByteArray &content)
{
    DWORD error = writeAll(file, content);
    if (error == 0 && !::FlushFileBuffers(file.get()))
        error = ::GetLastError();
    if (error == 0)
        error = file.close();
    return error;
}

// The folder's own permissions, or, where every user writes, read and write
// for everyone: one Hall of Fame for all the machine's players.
class NewFileSecurity
{
public:
    explicit NewFileSecurity(const Rules &rules)
    {
        if (rules.everyoneWrites
            && ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;OW)(A;;FRFW;;;WD)", SDDL_REVISION_1,
                &m_descriptor, nullptr)) {
            m_attributes.lpSecurityDescriptor = m_descriptor;
        }
    }
    NewFileSecurity(const NewFileSecurity &) = delete;
    NewFileSecurity &operator=(const NewFileSecurity &) = delete;
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

Handle createNew(const std::wstring &path, const Rules &rules)
{
    NewFileSecurity security(rules);
    // Not shared: a save's temporary file in use cannot be taken for a
    // leftover and deleted.
    return Handle(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, security.attributes(),
        CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

constexpr qsizetype TemporarySuffixLength = 13;

QString temporaryPath(const QString &path)
{
    return path + QLatin1Char('.')
        + QString::number(QRandomGenerator::system()->generate64(), 36)
              .rightJustified(TemporarySuffixLength, QLatin1Char('0'));
}

// A killed save leaves its temporary file; one that can be deleted is no
// longer in use by a save.
void removeLeftovers(const QString &path)
{
    const QString pattern = path + QStringLiteral(".*");
    WIN32_FIND_DATAW found {};
    HANDLE search = ::FindFirstFileW(nativeOf(pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const QString folder = QDir::toNativeSeparators(path).section(QLatin1Char('\\'), 0, -2);
    const qsizetype nameLength = QDir::toNativeSeparators(path).section(QLatin1Char('\\'), -1).size();
    do {
        const QString name = QString::fromWCharArray(found.cFileName);
        const QString suffix = name.sliced(qMin(name.size(), nameLength + 1));
        const bool temporary = name.size() == nameLength + 1 + TemporarySuffixLength
            && std::all_of(suffix.begin(), suffix.end(),
                [](QChar c) { return c.isDigit() || (c >= u'a' && c <= u'z'); });
        if (temporary && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ::DeleteFileW(nativeOf(folder + QLatin1Char('\\') + name).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

// Gives the open file the target's name, in the place of whatever has it.
// Named while still open and unshared, it cannot be taken for a leftover by
// another save in between.
DWORD renameOver(const Handle &file, const QString &target)
{
    const std::wstring name = nativeOf(QFileInfo(target).absoluteFilePath());
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t), 0);
    auto *info = reinterpret_cast<FILE_RENAME_INFO *>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), info->FileName);
    return ::SetFileInformationByHandle(file.get(), FileRenameInfo, info, DWORD(buffer.size()))
        ? 0
        : ::GetLastError();
}

bool refusedForLackOfPermission(DWORD error)
{
    return error == ERROR_ACCESS_DENIED;
}

} // namespace

bool exists(const QString &path, const Rules &rules, Action action)
{
    return openJudged(path, FILE_READ_ATTRIBUTES, rules, action, true).isOpen();
}

QStringList readLines(const QString &path, const Rules &rules)
{
    Handle file = openJudged(path, GENERIC_READ, rules, Action::Read);
    lock(file, 0);
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
    const std::wstring nativePath = nativeOf(path);
    Handle file = createNew(nativePath, rules);
    if (!file.isOpen()) {
        const DWORD error = ::GetLastError();
        // Someone else was quicker: judged like a file found at the start.
        if (error == ERROR_FILE_EXISTS && exists(path, rules, Action::Use))
            return;
        fail(Action::Create, path, systemReason(error));
    }
    const DWORD error = writeWhole(file, content);
    if (error != 0) {
        // Left behind, a partial file would be taken as the Hall of Fame.
        ::DeleteFileW(nativePath.c_str());
        fail(Action::Create, path, systemReason(error));
    }
}

void replace(const QString &path, const QByteArray &content, const Rules &rules)
{
    // Held until the new file has the name, so that nobody rewrites the old
    // one in place meanwhile.
    Handle old = openJudged(path, GENERIC_READ, rules, Action::Write, true);
    const bool fileExists = old.isOpen();
    if (fileExists)
        lock(old, LOCKFILE_EXCLUSIVE_LOCK);
    removeLeftovers(path);
    const QString temporary = temporaryPath(path);
    Handle file = createNew(nativeOf(temporary), rules);
    if (!file.isOpen()) {
        const DWORD error = ::GetLastError();
        if (fileExists && refusedForLackOfPermission(error)) {
            old = Handle();
            return rewriteInPlace(path, content, rules);
        }
        fail(Action::Write, path, systemReason(error));
    }
    DWORD error = writeAll(file, content);
    if (error == 0 && !::FlushFileBuffers(file.get()))
        error = ::GetLastError();
    // A rename replaces the name, never what it points to.
    if (error == 0)
        error = renameOver(file, path);
    if (error == 0)
        error = file.close();
    if (error == 0)
        return;
    file = Handle();
    ::DeleteFileW(nativeOf(temporary).c_str());
    if (fileExists && refusedForLackOfPermission(error)) {
        old = Handle();
        return rewriteInPlace(path, content, rules);
    }
    fail(Action::Write, path, systemReason(error));
}

void rewriteInPlace(const QString &path, const QByteArray &content, const Rules &rules)
{
    Handle file = openJudged(path, GENERIC_WRITE, rules, Action::Write);
    // Written in place, every other name of the file would change too.
    BY_HANDLE_FILE_INFORMATION info {};
    if (::GetFileInformationByHandle(file.get(), &info) && info.nNumberOfLinks > 1)
        fail(Action::Write, path, QStringLiteral("the file has more than one name (a hard link)"));
    lock(file, LOCKFILE_EXCLUSIVE_LOCK);
    LARGE_INTEGER length {};
    length.QuadPart = content.size();
    DWORD error = writeAll(file, content);
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

} // namespace HallOfFameDisk
