// SPDX-License-Identifier: MIT
#include "builtinpictures.h"

#include "builtinart.h"
#include "editionprofile.h"

#include <array>
#include <initializer_list>

namespace
{

// Faces of the 10x10 board that share a built-in picture, one group per picture.
constexpr std::array<std::initializer_list<int>, BuiltinArt::kPictureCount> kLargeBoardGroups { {
    { 0, 35, 51 },
    { 7, 47, 79, 97 },
    { 14, 21, 58, 77 },
    { 1, 85 },
    { 2, 84 },
    { 3, 83 },
    { 4, 82 },
    { 5, 81 },
    { 6, 80 },
    { 8, 86 },
    { 9, 72 },
    { 10, 73 },
    { 11, 74 },
    { 12, 75 },
    { 13, 76 },
    { 15, 78 },
    { 16, 71 },
    { 17, 69 },
    { 18, 68 },
    { 19, 56 },
    { 20, 57 },
    { 22, 66 },
    { 23, 65 },
    { 24, 54 },
    { 25, 62 },
    { 26, 70 },
    { 27, 59 },
    { 28, 60 },
    { 29, 61 },
    { 30, 67 },
    { 31, 55 },
    { 32, 64 },
    { 33, 53 },
    { 34, 52 },
    { 36, 63 },
    { 37, 87 },
    { 38, 88 },
    { 39, 89 },
    { 40, 90 },
    { 41, 91 },
    { 42, 92 },
    { 43, 93 },
    { 44, 94 },
    { 45, 95 },
    { 46, 96 },
    { 48, 98 },
    { 49, 99 },
    { 50, 100 },
} };

constexpr std::array<int, 101> largeBoardTable()
{
    std::array<int, 101> table {};
    for (int picture = 0; picture < BuiltinArt::kPictureCount; ++picture)
        for (int face : kLargeBoardGroups[static_cast<size_t>(picture)])
            table[static_cast<size_t>(face)] = picture + 1;
    return table;
}

constexpr auto kLargeBoard = largeBoardTable();

} // namespace

int builtinPictureOf(const EditionProfile &profile, int face)
{
    if (profile.cellCount == 100)
        return kLargeBoard[static_cast<size_t>(face)];
    // Edition 2's eighteen pictures are 1 .. 18, edition 1's eight are 1 .. 8.
    return face > profile.pairCount ? face - profile.pairCount : face;
}

QImage builtinPicture(int picture)
{
    static std::array<QImage, BuiltinArt::kPictureCount + 1> decoded;
    QImage &image = decoded.at(static_cast<size_t>(picture));
    if (image.isNull())
        image.load(BuiltinArt::picturePath(picture), "PNG");
    return image;
}
