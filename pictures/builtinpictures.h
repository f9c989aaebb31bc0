// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

struct EditionProfile;

// Which of the built-in pictures (1 .. 48) face `face` carries before any
// icon file is loaded. On the small boards the two faces of every pair share
// one; on the 10x10 board the faces were laid out long ago and only fifteen
// pairs share a picture.
int builtinPictureOf(const EditionProfile &profile, int face);

// Built-in picture 1 .. 48, decoded once for the whole program.
QImage builtinPicture(int picture);
