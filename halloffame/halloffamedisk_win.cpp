// SPDX-License-Identifier: MIT
// Systems without their own file: no locks, and a hard link is not told
// from a file.
#include "halloffamedisk.h"
#include "halloffamelinereader.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace HallOfFameDisk
{
namespace
{

using Action = HallOfFameError::Action;

constexpr qsizetype ChunkBytes = 64 * 1024;

[[noreturn]] void fail(Action action, const QString &path, const QString &reason)
{
    throw HallOfFameError(action, path, reason);
}

void requireFileOrNothing(const QString &path, Action action)
{
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction())
        fail(action, path, QStringLiteral("the path is a symbolic link"));
    if (info.exists() && !info.isFile())
        fail(action, path, QStringLiteral("the path is not a regular file"));
}

// QSaveFile::commit() ignores a failure of the writes it still has to flush
// (QTBUG-75077): they are done and checked before.
void replaceAtomically(const QString &path, const QByteArray &content, Action action)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(action, path, file.errorString());
    if (file.write(content) != content.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(action, path, reason);
    }
    if (!file.commit())
        fail(action, path, file.errorString());
}

} // namespace

bool exists(const QString &path, const Rules &, Action action)
{
    requireFileOrNothing(path, action);
    return QFileInfo::exists(path);
}

QStringList readLines(const QString &path, const Rules &)
{
    requireFileOrNothing(path, Action::Read);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(Action::Read, path, file.errorString());
    HallOfFameLineReader reader;
    for (;;) {
        const QByteArray chunk = file.read(qMin(ChunkBytes, reader.bytesLeft()));
        if (chunk.isEmpty() && file.error() != QFileDevice::NoError)
            fail(Action::Read, path, file.errorString());
        if (chunk.isEmpty() || !reader.feed(chunk))
            break;
    }
    return reader.finish();
}

void create(const QString &path, const QByteArray &content, const Rules &)
{
    replaceAtomically(path, content, Action::Create);
}

void replace(const QString &path, const QByteArray &content, const Rules &rules)
{
    requireFileOrNothing(path, Action::Write);
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (QFileInfo::exists(path) && !folder.isWritable())
        rewriteInPlace(path, content, rules);
    else
        replaceAtomically(path, content, Action::Write);
}

void rewriteInPlace(const QString &path, const QByteArray &content, const Rules &)
{
    requireFileOrNothing(path, Action::Write);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || file.write(content) != content.size()
        || !file.resize(content.size()) || !file.flush())
        fail(Action::Write, path, file.errorString());
}

} // namespace HallOfFameDisk
