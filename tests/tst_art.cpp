// SPDX-License-Identifier: MIT
#include "builtinart.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{

constexpr int kPoolCount = 200;

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

} // namespace

class TestArt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void poolFileHoldsEverySize_data();
    void poolFileHoldsEverySize();
    void poolPicturesDifferPairwise();

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
};

bool TestArt::generate(const QString &folder)
{
    QProcess generator;
    generator.start(QStringLiteral(TILVANE_ARTGEN),
        { folder + QStringLiteral("/Icons"), folder + QStringLiteral("/art") });
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
    for (int side : { 32, 48, 64, 128, 256 }) {
        QVERIFY2(entries.contains(side), qPrintable(QString::number(side)));
        const QImage &image = entries.at(side);
        QCOMPARE(image.height(), side);
        QVERIFY(cornersClear(image));
        QVERIFY2(opaqueShare(image) > 0.25, qPrintable(QString::number(side)));
    }
    // Every entry shows the same picture, not one of another file.
    const QImage &small = entries.at(32);
    for (int side : { 64, 128, 256 }) {
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
    for (int side : { 16, 22, 24, 32, 48, 64, 128, 256 })
        QTest::addRow("%dx%d", side, side) << side;
}

void TestArt::themeIconHasItsSize()
{
    QFETCH(int, side);
    const QImage icon(
        m_first.filePath(QStringLiteral("art/hicolor/%1x%1/apps/tilvane.png").arg(side)));
    QCOMPARE(icon.size(), QSize(side, side));
    QVERIFY(opaqueShare(icon) > 0.3);
}

void TestArt::generatorGivesTheSameBytesTwice()
{
    QTemporaryDir second;
    QVERIFY(second.isValid());
    QVERIFY(generate(second.path()));
    const QStringList names = relativeFiles(m_first.path());
    QCOMPARE(names.size(), kPoolCount + BuiltinArt::kPictureCount + 1 + 8);
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
