// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

// Reads the picture of an icon file, choosing the smallest of its sizes that
// still covers `pixelSize` (else the largest). A null image when the file is
// missing, is no regular file, is no icon file, or is broken; a picture too
// large to be a tile face is refused rather than allocated.
//
// The picture carries its name (see pictureName): the "Title" text of the
// file's PNG entry, where it has one; else "picture 57" for "(57).ico".
QImage loadIconPicture(const QString &path, int pixelSize);

// What a picture shows, in a player's words, as its file named it.
QString pictureName(const QImage &picture);
