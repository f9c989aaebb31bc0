// SPDX-License-Identifier: MIT
#include "editions.h"
#include "formfixture.h"
#include "halloffamepath.h"

#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <sys/stat.h>

class TestEdition3 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void path_data();
    void path();
    void oneFileForEveryCopy();
    void pathIsReadAgainAtClosing();
    void linkAtThePathIsRefused_data();
    void linkAtThePathIsRefused();
    void fileIsSharedWithEveryUser();
};

void TestEdition3::path_data()
{
    QTest::addColumn<int>("location");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QString>("systemDrive");
    QTest::addColumn<QString>("path");
    const int beside = int(HallOfFameLocation::ProgramFolder);
    const int machineWide = int(HallOfFameLocation::SystemDriveTemp);
    const int posix = int(PathStyle::Posix);
    const int windows = int(PathStyle::Windows);
    QTest::newRow("3.1 beside the program")
        << beside << posix << "/opt/games" << "C:" << "/opt/games/Tilvane.ini";
    QTest::newRow("3.1 folder is not trimmed")
        << beside << posix << "/opt/games/" << "" << "/opt/games//Tilvane.ini";
    QTest::newRow("3 with SystemDrive")
        << machineWide << posix << "/opt/games" << "/mnt/c" << "/mnt/c/var/tmp/Tilvane.ini";
    QTest::newRow("3 without SystemDrive")
        << machineWide << posix << "/opt/games" << "" << "/var/tmp/Tilvane.ini";
    QTest::newRow("3 with a trailing slash")
        << machineWide << posix << "/opt/games" << "/mnt/c/" << "/mnt/c//var/tmp/Tilvane.ini";
    QTest::newRow("no Hall of Fame") << int(HallOfFameLocation::None) << posix << "/opt/games"
                                     << "C:" << "";
    QTest::newRow("Windows: 3.1 beside the program") << beside << windows << "C:\\Games\\Tilvane"
                                                     << "C:" << "C:\\Games\\Tilvane\\Tilvane.ini";
    QTest::newRow("Windows: 3 on drive C:") << machineWide << windows << "D:\\Games" << "C:"
                                            << "C:\\WINDOWS\\Temp\\Tilvane.ini";
    QTest::newRow("Windows: 3 without SystemDrive")
        << machineWide << windows << "D:\\Games" << "" << "\\WINDOWS\\Temp\\Tilvane.ini";
    QTest::newRow("Windows: 3 with a trailing backslash")
        << machineWide << windows << "D:\\Games" << "E:\\" << "E:\\\\WINDOWS\\Temp\\Tilvane.ini";
}

void TestEdition3::path()
{
    QFETCH(int, location);
    QFETCH(int, style);
    QFETCH(QString, programFolder);
    QFETCH(QString, systemDrive);
    QFETCH(QString, path);
    QCOMPARE(hallOfFamePathOf(HallOfFameLocation(location), programFolder, systemDrive,
                 PathStyle(style)),
        path);
}

// Two copies in two folders, one moved between runs: one Hall of Fame.
void TestEdition3::oneFileForEveryCopy()
{
    FormFixture first;
    FormFixture second;
    second.platform.environment = first.platform.environment;
    const QString shared = first.dir.path() + QStringLiteral("/drive/var/tmp/Tilvane.ini");

    first.open(kEdition3);
    QCOMPARE(first.form->hallOfFamePath, shared);
    first.form->List1->item(1)->setText(QStringLiteral("No1 First Time 00:01:00 Trys 10"));
    first.form->close();

    second.open(kEdition3);
    QCOMPARE(second.form->hallOfFamePath, shared);
    QCOMPARE(
        second.form->List1->item(1)->text(), QStringLiteral("No1 First Time 00:01:00 Trys 10"));
    QVERIFY(!QFile::exists(first.dir.path() + QStringLiteral("/Tilvane.ini")));
    QVERIFY(!QFile::exists(second.dir.path() + QStringLiteral("/Tilvane.ini")));
}

void TestEdition3::pathIsReadAgainAtClosing()
{
    FormFixture game;
    game.open(kEdition3);
    const QString later = game.dir.path() + QStringLiteral("/later");
    QDir().mkpath(later + QStringLiteral("/var/tmp"));
    game.platform.environment.insert(QStringLiteral("SystemDrive"), later);
    game.form->close();
    QCOMPARE(game.form->hallOfFamePath, later + QStringLiteral("/var/tmp/Tilvane.ini"));
    QVERIFY(QFile::exists(game.form->hallOfFamePath));
}

void TestEdition3::linkAtThePathIsRefused_data()
{
    QTest::addColumn<bool>("machineWide");
    QTest::addColumn<bool>("whilePlaying");
    QTest::newRow("3, at start") << true << false;
    QTest::newRow("3, swapped in while playing") << true << true;
    QTest::newRow("3.1, at start") << false << false;
    QTest::newRow("3.1, swapped in while playing") << false << true;
}

// Whoever can write into the file's folder must not reach another user's
// files through it, in the program's folder too.
void TestEdition3::linkAtThePathIsRefused()
{
    QFETCH(bool, machineWide);
    QFETCH(bool, whilePlaying);
    FormFixture game;
    const QString target = game.dir.path() + QStringLiteral("/precious.txt");
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("someone else's file\n");
    file.close();
    const QString path = machineWide
        ? game.dir.path() + QStringLiteral("/drive/var/tmp/Tilvane.ini")
        : game.dir.path() + QStringLiteral("/Tilvane.ini");
    const EditionProfile &profile = machineWide ? kEdition3 : kEdition31;

    Form1 form(profile, game.platform);
    if (whilePlaying) {
        QVERIFY(form.start());
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(target, path));
        form.close();
        QCOMPARE(game.platform.endStatuses, QList<int> { 1 });
    } else {
        QVERIFY(QFile::link(target, path));
        QVERIFY(!form.start());
        QVERIFY(!form.isVisible());
    }
    QCOMPARE(game.platform.failures.size(), 1);
    // The message names what the game was doing: nothing was being created.
    const QString said = whilePlaying ? QStringLiteral("Cannot save the Hall of Fame file")
                                      : QStringLiteral("Cannot use the Hall of Fame file");
    QVERIFY2(game.platform.failures[0].startsWith(said), qPrintable(game.platform.failures[0]));
    QVERIFY2(game.platform.failures[0].contains(QStringLiteral("symbolic link")),
        qPrintable(game.platform.failures[0]));
    QVERIFY(QFileInfo(path).isSymLink());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("someone else's file\n"));
}

void TestEdition3::fileIsSharedWithEveryUser()
{
    const mode_t previous = umask(022);
    FormFixture game;
    game.open(kEdition3);
    game.form->close();
    umask(previous);
    struct stat status {
    };
    QCOMPARE(lstat(QFile::encodeName(game.form->hallOfFamePath).constData(), &status), 0);
    QVERIFY(S_ISREG(status.st_mode));
    QCOMPARE(status.st_mode & 0777, mode_t(0666));
}

QTEST_MAIN(TestEdition3)
#include "tst_edition3.moc"
