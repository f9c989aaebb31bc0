// SPDX-License-Identifier: MIT
// A USB stick for a test: a disk image of a FAT or exFAT file system, made
// and mounted for as long as the object lives. The kernel's driver is used
// where it has one, else the FUSE one (fusefat, exfat-fuse); both need root.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <unistd.h>

class StickImage
{
public:
    // "vfat" or "exfat". With `pulledOut`, the image of another stick copied
    // as it is on that "disk" now: what the stick holds if pulled out now.
    explicit StickImage(const QString &fileSystem, const QString &pulledOut = QString())
    {
        if (::geteuid() != 0) {
            m_whyNot = QStringLiteral("mounting a disk image needs root");
            return;
        }
        const QString image = imagePath();
        m_path = m_dir.filePath(QStringLiteral("stick"));
        QDir().mkpath(m_path);
        const bool fat = fileSystem == QLatin1String("vfat");
        if (!pulledOut.isEmpty()) {
            if (!QFile::copy(pulledOut, image)) {
                m_whyNot = QStringLiteral("cannot copy the image ") + pulledOut;
                return;
            }
        } else {
            QFile file(image);
            if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(64) << 20)) {
                m_whyNot = QStringLiteral("cannot make the image: ") + file.errorString();
                return;
            }
            file.close();
            if (!run(fat ? QStringLiteral("mkfs.vfat") : QStringLiteral("mkfs.exfat"), { image }))
                return;
        }
        if (run(QStringLiteral("mount"),
                { QStringLiteral("-t"), fileSystem, QStringLiteral("-o"), QStringLiteral("loop"),
                    image, m_path })) {
            m_mounted = true;
            return;
        }
        const QString kernelSaid = m_whyNot;
        if (fat) {
            m_mounted = run(QStringLiteral("fusefat"),
                { QStringLiteral("-o"), QStringLiteral("rw+"), image, m_path });
        } else if (run(QStringLiteral("losetup"),
                       { QStringLiteral("--find"), QStringLiteral("--show"), image })) {
            m_loopDevice = m_output;
            m_mounted = run(QStringLiteral("mount.exfat-fuse"), { m_loopDevice, m_path });
        }
        if (!m_mounted)
            m_whyNot = kernelSaid + QStringLiteral("; ") + m_whyNot;
    }
    ~StickImage()
    {
        if (m_mounted)
            run(QStringLiteral("umount"), { m_path });
        if (!m_loopDevice.isEmpty())
            run(QStringLiteral("losetup"), { QStringLiteral("--detach"), m_loopDevice });
    }

    bool isMounted() const { return m_mounted; }
    // Why the stick is not mounted, for a skipped test.
    QString whyNot() const { return m_whyNot; }
    // The folder where the stick is mounted.
    QString path() const { return m_path; }
    QString imagePath() const { return m_dir.filePath(QStringLiteral("stick.img")); }

private:
    bool run(const QString &program, const QStringList &arguments)
    {
        const QString found = QStandardPaths::findExecutable(program,
            { QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin"),
                QStringLiteral("/bin") });
        if (found.isEmpty()) {
            m_whyNot = program + QStringLiteral(" is not installed (scripts/setup installs it)");
            return false;
        }
        // Files, not pipes: a FUSE driver stays behind and may still write.
        const QString output = m_dir.filePath(QStringLiteral("output"));
        const QString errors = m_dir.filePath(QStringLiteral("errors"));
        QProcess process;
        process.setStandardOutputFile(output);
        process.setStandardErrorFile(errors);
        process.start(found, arguments);
        const bool done = process.waitForFinished(30000)
            && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        m_output = readText(output);
        if (!done)
            m_whyNot = program + QStringLiteral(" failed: ") + readText(errors);
        return done;
    }

    static QString readText(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).trimmed()
                                              : QString();
    }

    QTemporaryDir m_dir;
    QString m_path;
    QString m_loopDevice;
    QString m_output;
    QString m_whyNot;
    bool m_mounted = false;
};
