// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <bitset>
#include <QColor>
#include <QImage>

// What a player sees of a picture on a 40 px tile, reduced to what tells two
// pictures apart: the colours of a 10 x 10 grid over the tile (CIELAB, the
// picture laid on the white tile), once as they are and once as a red-green
// colour-blind player sees them, and the outline (the covered pixels).
class TileLook
{
public:
    static constexpr int kSide = 40;
    static constexpr int kGrid = 10;
    // Two pictures are too alike when both their colours and their outlines
    // are this close. The bounds sit just above the look-alike families of the
    // badge pool this one replaced (the closest reached 15.4 and 0.23).
    static constexpr double kColourBound = 16.0;
    static constexpr double kOutlineBound = 0.25;

    enum Vision { Normal, RedGreenBlind, VisionCount };

    // A colour as a red-green colour-blind player sees it.
    static QColor seenRedGreenBlind(const QColor &colour);

    // `picture` is scaled to the tile as the game does.
    explicit TileLook(const QImage &picture);

    // Mean CIELAB distance of the grid cells that either picture covers in
    // part, so that the bare tile around small pictures does not make them
    // alike.
    double colourDistance(const TileLook &other, Vision vision) const;
    // Share of the pixels covered by either that the other does not cover.
    double outlineDistance(const TileLook &other) const;
    // Below 1 when the two are too alike: the larger of the colour and the
    // outline distance, each against its bound, for the eyes that see the
    // colours closer.
    double closeness(const TileLook &other) const;

private:
    using Lab = std::array<double, 3>;
    using Grid = std::array<Lab, kGrid * kGrid>;

    std::array<Grid, VisionCount> m_cells {};
    std::bitset<kSide * kSide> m_covered;
    std::bitset<kGrid * kGrid> m_coveredCells;
};
