// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// Writes every generated picture: the icon pool as "(N).ico" into one folder,
// drawn from a colour emoji font after a list of code points (see PoolList),
// and into another the built-in pictures as builtin/NN.png, the window icon
// tilvane.png and the themed icons hicolor/<S>x<S>/apps/tilvane.png, with the
// same icons' pixels ready for a window as window/<S>.argb.
class ArtWriter
{
public:
    ArtWriter(const QString &iconsFolder, const QString &artFolder, const QString &fontPath,
        const QString &listPath);

    bool writeAll();
    // What failed, after writeAll returned false.
    QString error() const { return m_error; }

private:
    bool writePool();
    bool writeBuiltins();
    bool writeAppIcons();
    bool writeFile(const QString &path, const QByteArray &bytes);

    QString m_iconsFolder;
    QString m_artFolder;
    QString m_fontPath;
    QString m_listPath;
    QString m_error;
};
