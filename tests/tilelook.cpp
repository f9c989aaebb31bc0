// SPDX-License-Identifier: MIT
#include "tilelook.h"

#include <algorithm>
#include <cmath>
#include <QPainter>

namespace
{

constexpr int kCell = TileLook::kSide / TileLook::kGrid;
constexpr int kCoveredAlpha = 128;

using Rgb = std::array<double, 3>;

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Deuteranopia at full severity, in linear RGB (Machado, Oliveira and
// Fernandes 2009); the commonest red-green blindness.
Rgb redGreenBlind(const Rgb &rgb)
{
    static constexpr double m[3][3] = {
        { 0.367322, 0.860646, -0.227968 },
        { 0.280085, 0.672501, 0.047413 },
        { -0.011820, 0.042940, 0.968881 },
    };
    Rgb out {};
    for (int row = 0; row < 3; ++row)
        out[row]
            = std::clamp(m[row][0] * rgb[0] + m[row][1] * rgb[1] + m[row][2] * rgb[2], 0.0, 1.0);
    return out;
}

double labCurve(double t)
{
    constexpr double e = 216.0 / 24389.0;
    constexpr double k = 24389.0 / 27.0;
    return t > e ? std::cbrt(t) : (k * t + 16.0) / 116.0;
}

// Linear sRGB to CIELAB under D65.
std::array<double, 3> lab(const Rgb &rgb)
{
    const double x = (0.4124 * rgb[0] + 0.3576 * rgb[1] + 0.1805 * rgb[2]) / 0.95047;
    const double y = 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
    const double z = (0.0193 * rgb[0] + 0.1192 * rgb[1] + 0.9505 * rgb[2]) / 1.08883;
    const double fx = labCurve(x), fy = labCurve(y), fz = labCurve(z);
    return { 116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz) };
}

Rgb cellColour(const QImage &tile, int cx, int cy)
{
    Rgb sum {};
    for (int y = cy * kCell; y < (cy + 1) * kCell; ++y)
        for (int x = cx * kCell; x < (cx + 1) * kCell; ++x) {
            const QRgb p = tile.pixel(x, y);
            sum[0] += linear(qRed(p));
            sum[1] += linear(qGreen(p));
            sum[2] += linear(qBlue(p));
        }
    for (double &c : sum)
        c /= kCell * kCell;
    return sum;
}

double gammaEncoded(double c)
{
    return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

} // namespace

QColor TileLook::seenRedGreenBlind(const QColor &colour)
{
    const Rgb seen
        = redGreenBlind({ linear(colour.red()), linear(colour.green()), linear(colour.blue()) });
    return QColor::fromRgbF(float(gammaEncoded(seen[0])), float(gammaEncoded(seen[1])),
        float(gammaEncoded(seen[2])), colour.alphaF());
}

TileLook::TileLook(const QImage &picture)
{
    const QImage scaled
        = picture.scaled(kSide, kSide, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              .convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            if (qAlpha(scaled.pixel(x, y)) >= kCoveredAlpha) {
                m_covered[y * kSide + x] = true;
                m_coveredCells[y / kCell * kGrid + x / kCell] = true;
            }
    QImage tile(kSide, kSide, QImage::Format_ARGB32);
    tile.fill(Qt::white);
    QPainter(&tile).drawImage(0, 0, scaled);
    for (int cy = 0; cy < kGrid; ++cy)
        for (int cx = 0; cx < kGrid; ++cx) {
            const Rgb rgb = cellColour(tile, cx, cy);
            m_cells[Normal][cy * kGrid + cx] = lab(rgb);
            m_cells[RedGreenBlind][cy * kGrid + cx] = lab(redGreenBlind(rgb));
        }
}

double TileLook::colourDistance(const TileLook &other, Vision vision) const
{
    const auto cells = m_coveredCells | other.m_coveredCells;
    if (cells.none())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
        if (!cells[i])
            continue;
        const Lab &p = m_cells[vision][i];
        const Lab &q = other.m_cells[vision][i];
        sum += std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
    }
    return sum / cells.count();
}

double TileLook::outlineDistance(const TileLook &other) const
{
    const size_t either = (m_covered | other.m_covered).count();
    return either == 0 ? 0 : double((m_covered ^ other.m_covered).count()) / either;
}

double TileLook::closeness(const TileLook &other) const
{
    const double colour
        = std::min(colourDistance(other, Normal), colourDistance(other, RedGreenBlind));
    return std::max(colour / kColourBound, outlineDistance(other) / kOutlineBound);
}
