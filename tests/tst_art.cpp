// SPDX-License-Identifier: MIT
#include "builtinart.h"
#include "iconpicture.h"
#include "tilelook.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace
{

constexpr int kPoolCount = 200;
constexpr int kPoolSides[] = { 32, 48, 64, 128 };
// A 40 px tile, as the face loads it.
constexpr int kTileSide = 40;

QString poolPath(int number)
{
    return QStringLiteral(TILVANE_ICONS_DIR "/(%1).ico").arg(number);
}

// The entries of an icon file, by side; none when an entry cannot be read or
// is not the size its directory entry gives.
std::map<int, QImage> icoEntries(const QString &path)
{
    std::map<int, QImage> entries;
    QImageReader reader(path, "ico");
    const int count = reader.imageCount();
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i))
            return {};
        // What the directory announces, which readers choose the entry by.
        const QSize announced = reader.size();
        const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull() || image.size() != announced)
            return {};
        entries[image.width()] = image;
    }
    return entries;
}

// Pixels whose colour or opacity differs clearly, the picture laid on white.
int differingPixels(const QImage &a, const QImage &b)
{
    const QImage left = a.convertToFormat(QImage::Format_ARGB32);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32);
    auto onWhite = [](QRgb pixel, int channel) {
        const int alpha = qAlpha(pixel);
        return (channel * alpha + 255 * (255 - alpha)) / 255;
    };
    int count = 0;
    for (int y = 0; y < left.height(); ++y)
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            const int distance = std::abs(onWhite(p, qRed(p)) - onWhite(q, qRed(q)))
                + std::abs(onWhite(p, qGreen(p)) - onWhite(q, qGreen(q)))
                + std::abs(onWhite(p, qBlue(p)) - onWhite(q, qBlue(q)));
            if (distance > 96)
                ++count;
        }
    return count;
}

double opaqueShare(const QImage &image)
{
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                ++opaque;
    return double(opaque) / (image.width() * image.height());
}

// No painted pixel within `share` of the side from any edge.
bool marginClear(const QImage &image, double share)
{
    const int band = int(std::ceil(image.width() * share));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool inBand
                = x < band || y < band || x >= image.width() - band || y >= image.height() - band;
            if (inBand && qAlpha(image.pixel(x, y)) != 0)
                return false;
        }
    return true;
}

bool cornersClear(const QImage &image)
{
    const int last = image.width() - 1;
    return qAlpha(image.pixel(0, 0)) == 0 && qAlpha(image.pixel(last, 0)) == 0
        && qAlpha(image.pixel(0, last)) == 0 && qAlpha(image.pixel(last, last)) == 0;
}

QStringList relativeFiles(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The names of the pool's pictures, by number, from the list they are drawn after.
QStringList poolNames()
{
    QStringList names(kPoolCount + 1);
    QFile file(QStringLiteral(TILVANE_POOL_LIST));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return names;
    while (!file.atEnd()) {
        const QStringList fields
            = QString::fromUtf8(file.readLine()).trimmed().split(u' ', Qt::SkipEmptyParts);
        const int number = fields.value(0).toInt();
        if (number >= 1 && number <= kPoolCount && fields.size() > 2)
            names[number] = fields.mid(2).join(u' ');
    }
    return names;
}

enum class Recolouring { Tinted, HueTurned, SeenRedGreenBlind };

QColor recoloured(const QColor &c, Recolouring how)
{
    switch (how) {
    case Recolouring::Tinted:
        return QColor::fromRgbF(
            c.redF() * 0.9f + 0.02f, c.greenF() * 0.9f + 0.05f, c.blueF() * 0.9f + 0.1f);
    case Recolouring::HueTurned:
        return QColor::fromHsvF(
            std::fmod(qMax(0.0f, c.hsvHueF()) + 1.0f / 24, 1.0f), c.hsvSaturationF(), c.valueF());
    case Recolouring::SeenRedGreenBlind:
        break;
    }
    // Apart for most players, the same for the red-green colour-blind.
    return TileLook::seenRedGreenBlind(c);
}

// The picture with every colour moved, its coverage kept.
QImage recoloured(const QImage &picture, Recolouring how)
{
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QColor before = out.pixelColor(x, y);
            QColor after = recoloured(before, how);
            after.setAlpha(before.alpha());
            out.setPixelColor(x, y, after);
        }
    return out;
}

} // namespace

Q_DECLARE_METATYPE(Recolouring)

class TestArt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void poolFileHoldsEverySize_data();
    void poolFileHoldsEverySize();
    void poolPicturesDifferPairwise();
    void tileLoadsTheEntryCoveringIt_data();
    void tileLoadsTheEntryCoveringIt();
    void recolouredCopyLooksAlike_data();
    void recolouredCopyLooksAlike();
    void poolPicturesLookApartOnTheTile();
    void picturesCarryTheirNames();

    void builtinPictureLoadsFromResources_data();
    void builtinPictureLoadsFromResources();
    void builtinPicturesDifferPairwiseAndFromPool();
    void windowIconIsCompiledIn();

    void themeIconHasItsSize_data();
    void themeIconHasItsSize();
    void generatorGivesTheSameBytesTwice();
    void builtFilesAreCurrent();

private:
    bool generate(const QString &folder);

    QTemporaryDir m_first;
    QList<QImage> m_pool32;
    QList<QImage> m_poolOnTile;
};

bool TestArt::generate(const QString &folder)
{
    QProcess generator;
    generator.start(QStringLiteral(TILVANE_ARTGEN),
        { folder + QStringLiteral("/Icons"), folder + QStringLiteral("/art"),
            QStringLiteral(TILVANE_EMOJI_FONT), QStringLiteral(TILVANE_POOL_LIST) });
    if (!generator.waitForFinished(300000))
        return false;
    if (generator.exitStatus() != QProcess::NormalExit || generator.exitCode() != 0) {
        qWarning() << generator.readAllStandardError();
        return false;
    }
    return true;
}

void TestArt::initTestCase()
{
    QVERIFY(m_first.isValid());
    QVERIFY(generate(m_first.path()));
    for (int number = 1; number <= kPoolCount; ++number) {
        QImageReader reader(poolPath(number), "ico");
        reader.jumpToImage(0);
        m_pool32 << reader.read();
        m_poolOnTile << loadIconPicture(poolPath(number), kTileSide);
    }
}

void TestArt::poolFileHoldsEverySize_data()
{
    QTest::addColumn<int>("number");
    for (int number = 1; number <= kPoolCount; ++number)
        QTest::addRow("(%d).ico", number) << number;
}

void TestArt::poolFileHoldsEverySize()
{
    QFETCH(int, number);
    QImageReader reader(poolPath(number), "ico");
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    const std::map<int, QImage> entries = icoEntries(poolPath(number));
    QCOMPARE(int(entries.size()), reader.imageCount());
    // None larger: the font's own bitmaps are not much larger than 128 px.
    QCOMPARE(int(entries.size()), int(std::size(kPoolSides)));
    for (int side : kPoolSides) {
        QVERIFY2(entries.contains(side), qPrintable(QString::number(side)));
        const QImage &image = entries.at(side);
        QCOMPARE(image.height(), side);
        QVERIFY2(marginClear(image, 0.06), qPrintable(QString::number(side)));
        // Thin pictures such as a bicycle are mostly edge at 32 px.
        QVERIFY2(opaqueShare(image) > 0.001, qPrintable(QString::number(side)));
    }
    // Every entry shows the same picture, not one of another file.
    const QImage &small = entries.at(32);
    for (int side : { 64, 128 }) {
        const QImage reduced
            = entries.at(side).scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY2(differingPixels(small, reduced) < 60, qPrintable(QString::number(side)));
    }
}

void TestArt::poolPicturesDifferPairwise()
{
    QCOMPARE(m_pool32.size(), kPoolCount);
    for (int i = 0; i < kPoolCount; ++i)
        for (int j = i + 1; j < kPoolCount; ++j)
            QVERIFY2(differingPixels(m_pool32[i], m_pool32[j]) >= 80,
                qPrintable(QStringLiteral("(%1) and (%2)").arg(i + 1).arg(j + 1)));
}

void TestArt::tileLoadsTheEntryCoveringIt_data()
{
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<int>("side");
    QTest::newRow("tile at 1x") << kTileSide << 48;
    QTest::newRow("tile at 1.5x") << kTileSide * 3 / 2 << 64;
    QTest::newRow("tile at 2x") << kTileSide * 2 << 128;
    QTest::newRow("tile at 4x") << kTileSide * 4 << 128;
}

void TestArt::tileLoadsTheEntryCoveringIt()
{
    QFETCH(int, pixelSize);
    QFETCH(int, side);
    for (int number : { 1, kPoolCount })
        QCOMPARE(loadIconPicture(poolPath(number), pixelSize).size(), QSize(side, side));
}

void TestArt::recolouredCopyLooksAlike_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<Recolouring>("how");
    const QStringList names = poolNames();
    for (const char *name : { "cat", "apple", "oak tree", "taxi" }) {
        const int number = int(names.indexOf(QLatin1String(name)));
        QTest::addRow("%s tinted blue", name) << number << Recolouring::Tinted;
        QTest::addRow("%s hue turned 15 degrees", name) << number << Recolouring::HueTurned;
        QTest::addRow("%s as the red-green colour-blind see it", name)
            << number << Recolouring::SeenRedGreenBlind;
    }
}

void TestArt::recolouredCopyLooksAlike()
{
    QFETCH(int, number);
    QFETCH(Recolouring, how);
    QVERIFY(number >= 1);
    const QImage &picture = m_poolOnTile.at(number - 1);
    const TileLook look(picture);
    const TileLook copy(recoloured(picture, how));
    qInfo("colour %.1f (red-green blind %.1f), outline %.3f",
        look.colourDistance(copy, TileLook::Normal),
        look.colourDistance(copy, TileLook::RedGreenBlind), look.outlineDistance(copy));
    QVERIFY(look.closeness(copy) < 1);
}

void TestArt::poolPicturesLookApartOnTheTile()
{
    struct Pair {
        double closeness;
        int first, second;
    };
    QList<TileLook> looks;
    for (const QImage &picture : std::as_const(m_poolOnTile))
        looks << TileLook(picture);
    QCOMPARE(looks.size(), kPoolCount);
    std::vector<Pair> pairs;
    for (int i = 0; i < kPoolCount; ++i)
        for (int j = i + 1; j < kPoolCount; ++j)
            pairs.push_back({ looks[i].closeness(looks[j]), i, j });
    std::sort(pairs.begin(), pairs.end(),
        [](const Pair &a, const Pair &b) { return a.closeness < b.closeness; });
    const QStringList names = poolNames();
    const auto describe = [&](const Pair &pair) {
        const TileLook &a = looks[pair.first];
        const TileLook &b = looks[pair.second];
        return QStringLiteral("%1 (%2) %3 and (%4) %5: colour %6 (red-green blind %7), outline %8")
            .arg(pair.closeness, 0, 'f', 3)
            .arg(pair.first + 1)
            .arg(names[pair.first + 1])
            .arg(pair.second + 1)
            .arg(names[pair.second + 1])
            .arg(a.colourDistance(b, TileLook::Normal), 0, 'f', 1)
            .arg(a.colourDistance(b, TileLook::RedGreenBlind), 0, 'f', 1)
            .arg(a.outlineDistance(b), 0, 'f', 3);
    };
    qInfo("The ten closest pairs (too alike below 1):");
    for (size_t k = 0; k < 10; ++k)
        qInfo("%s", qPrintable(describe(pairs[k])));
    QVERIFY2(pairs.front().closeness >= 1, qPrintable(describe(pairs.front())));
}

// In the PNG entry, where icon readers keep it, and as the game loads it.
void TestArt::picturesCarryTheirNames()
{
    const QStringList names = poolNames();
    for (int number = 1; number <= kPoolCount; ++number) {
        QCOMPARE(icoEntries(poolPath(number)).at(128).text(QStringLiteral("Title")), names[number]);
        QCOMPARE(pictureName(m_poolOnTile.at(number - 1)), names[number]);
    }
    QSet<QString> builtin;
    for (int number = 1; number <= BuiltinArt::kPictureCount; ++number)
        builtin << QImage(BuiltinArt::picturePath(number)).text(QStringLiteral("Title"));
    QCOMPARE(builtin.size(), BuiltinArt::kPictureCount);
    QVERIFY(!builtin.contains(QString()));
}

void TestArt::builtinPictureLoadsFromResources_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("path");
    for (int number = 1; number <= BuiltinArt::kPictureCount; ++number)
        QTest::addRow("%02d", number)
            << number << QStringLiteral(":/art/builtin/%1.png").arg(number, 2, 10, QChar(u'0'));
}

void TestArt::builtinPictureLoadsFromResources()
{
    QFETCH(int, number);
    QFETCH(QString, path);
    QCOMPARE(BuiltinArt::picturePath(number), path);
    const QImage image(path);
    QCOMPARE(image.size(), QSize(64, 64));
    QVERIFY(cornersClear(image));
    QVERIFY(opaqueShare(image) > 0.8);
}

void TestArt::builtinPicturesDifferPairwiseAndFromPool()
{
    QList<QImage> builtins;
    for (int number = 1; number <= BuiltinArt::kPictureCount; ++number)
        builtins << QImage(BuiltinArt::picturePath(number));
    for (int i = 0; i < builtins.size(); ++i) {
        for (int j = i + 1; j < builtins.size(); ++j)
            QVERIFY2(differingPixels(builtins[i], builtins[j]) >= 300,
                qPrintable(QStringLiteral("%1 and %2").arg(i + 1).arg(j + 1)));
        const QImage reduced
            = builtins[i].scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        for (int k = 0; k < kPoolCount; ++k)
            QVERIFY2(differingPixels(reduced, m_pool32[k]) >= 200,
                qPrintable(QStringLiteral("%1 and (%2)").arg(i + 1).arg(k + 1)));
    }
}

void TestArt::windowIconIsCompiledIn()
{
    QCOMPARE(BuiltinArt::windowIconPath(), QStringLiteral(":/art/tilvane.png"));
    const QImage icon(QStringLiteral(":/art/tilvane.png"));
    QCOMPARE(icon.size(), QSize(32, 32));
    QVERIFY(cornersClear(icon));
    QVERIFY(opaqueShare(icon) > 0.3);
}

void TestArt::themeIconHasItsSize_data()
{
    QTest::addColumn<int>("side");
    for (int side : BuiltinArt::kWindowIconSides)
        QTest::addRow("%dx%d", side, side) << side;
}

// The window shows the themed icon's very pixels, compiled in as a pixmap
// holds them.
void TestArt::themeIconHasItsSize()
{
    QFETCH(int, side);
    const QImage icon(
        m_first.filePath(QStringLiteral("art/hicolor/%1x%1/apps/tilvane.png").arg(side)));
    QCOMPARE(icon.size(), QSize(side, side));
    QVERIFY(opaqueShare(icon) > 0.3);
    const QImage shown = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(fileBytes(BuiltinArt::windowIconPixelsPath(side)),
        QByteArray(reinterpret_cast<const char *>(shown.constBits()), shown.sizeInBytes()));
}

void TestArt::generatorGivesTheSameBytesTwice()
{
    QTemporaryDir second;
    QVERIFY(second.isValid());
    QVERIFY(generate(second.path()));
    const QStringList names = relativeFiles(m_first.path());
    QCOMPARE(names.size(), kPoolCount + BuiltinArt::kPictureCount + 1 + 2 * 8);
    QCOMPARE(relativeFiles(second.path()), names);
    for (const QString &name : names) {
        const QByteArray bytes = fileBytes(m_first.filePath(name));
        QVERIFY(!bytes.isEmpty());
        QVERIFY2(fileBytes(second.filePath(name)) == bytes, qPrintable(name));
    }
}

void TestArt::builtFilesAreCurrent()
{
    for (int number = 1; number <= BuiltinArt::kPictureCount; ++number) {
        const QString name = QStringLiteral("art/builtin/%1.png").arg(number, 2, 10, QChar(u'0'));
        QVERIFY2(fileBytes(BuiltinArt::picturePath(number)) == fileBytes(m_first.filePath(name)),
            qPrintable(name));
    }
    QVERIFY(fileBytes(BuiltinArt::windowIconPath())
        == fileBytes(m_first.filePath(QStringLiteral("art/tilvane.png"))));
    for (int number = 1; number <= kPoolCount; ++number) {
        const QString name = QStringLiteral("Icons/(%1).ico").arg(number);
        QVERIFY2(
            fileBytes(poolPath(number)) == fileBytes(m_first.filePath(name)), qPrintable(name));
    }
}

QTEST_GUILESS_MAIN(TestArt)
#include "tst_art.moc"
