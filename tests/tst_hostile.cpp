// SPDX-License-Identifier: MIT
// Bad inputs a player's machine can hold, each with what must happen.
#include "editions.h"
#include "formfixture.h"
#include "halloffamefile.h"
#include "halloffamelines.h"
#include "stickimage.h"

#include <csignal>
#include <filesystem>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <sys/resource.h>
#include <QStyledItemDelegate>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QByteArray garbage(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

QByteArray manyLines(qsizetype size)
{
    QByteArray line(99, 'x');
    line += '\n';
    return line.repeated(size / line.size());
}

const QStringList kDefaults = HallOfFameLines::defaultLines();

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hallOfFameFile_data();
    void hallOfFameFile();
    void hallOfFameFolderRefused_data();
    void hallOfFameFolderRefused();
    void fileChangedWhilePlaying();
    void names_data();
    void names();
    void killedWhileSaving_data();
    void killedWhileSaving();
    void usbStick_data();
    void usbStick();
    void unreadableProgramFolder_data();
    void unreadableProgramFolder();
};

void TestHostile::hallOfFameFile_data()
{
    QTest::addColumn<QByteArray>("content");
    // The entries the window must hold, or empty to check only their shape.
    QTest::addColumn<QStringList>("loaded");

    const QString cut(4096, u'x');
    QTest::newRow("binary garbage") << garbage(64 * 1024, 7) << QStringList();
    QTest::newRow("NUL bytes") << QByteArrayLiteral(
        "[Tilvane]\r\nNo1 A\0B Time 00:00:01 Trys 5\r\n")
                               << QStringList { "[Tilvane]",
                                      QStringLiteral("No1 A") + QChar(0)
                                          + QStringLiteral("B Time 00:00:01 Trys 5"),
                                      kDefaults[2], kDefaults[3], kDefaults[4], kDefaults[5] };
    QTest::newRow("50 MB") << manyLines(50 * 1024 * 1024) << QStringList(6, QString(99, u'x'));
    QTest::newRow("one 10 MB line") << QByteArray(10 * 1024 * 1024, 'x')
                                    << QStringList { cut, kDefaults[1], kDefaults[2], kDefaults[3],
                                           kDefaults[4], kDefaults[5] };
    QTest::newRow("LF line ends") << QByteArray("[T]\nNo1 A Time 00:00:01 Trys 5\n")
                                  << QStringList { "[T]", "No1 A Time 00:00:01 Trys 5",
                                         kDefaults[2], kDefaults[3], kDefaults[4], kDefaults[5] };
    QTest::newRow("CR line ends are no line ends")
        << QByteArray("[T]\rNo1 A\rNo2 B\r")
        << QStringList { "[T]\rNo1 A\rNo2 B\r", kDefaults[1], kDefaults[2], kDefaults[3],
               kDefaults[4], kDefaults[5] };
    QTest::newRow("invalid UTF-8 is Latin-1")
        << QByteArray("[T]\r\nNo1 Z\xe9lie Time 00:00:01 Trys 5\r\n")
        << QStringList { "[T]", QString::fromUtf8("No1 Z\u00e9lie Time 00:00:01 Trys 5"),
               kDefaults[2], kDefaults[3], kDefaults[4], kDefaults[5] };
    QTest::newRow("empty") << QByteArray() << kDefaults;
    QTest::newRow("control characters")
        << QByteArray("[T]\x01\x02\r\nNo1 \x1f\x7f\x85 Time 00:00:01 Trys 5\r\n")
        << QStringList { "[T]\x01\x02",
               QString::fromUtf8("No1 \x1f\x7f\u0085 Time 00:00:01 Trys 5"), kDefaults[2],
               kDefaults[3], kDefaults[4], kDefaults[5] };
}

// Whatever the file holds, the game starts with six places, shows them with
// no control character, saves them and reads back exactly what it saved.
void TestHostile::hallOfFameFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, loaded);
    FormFixture game;
    const QString path = game.dir.filePath(QStringLiteral("Tilvane.ini"));
    QVERIFY(writeAll(path, content));
    Form1 &form = game.open(kEdition31);
    QVERIFY(game.platform.failures.isEmpty());
    const QStringList held = entries(form.List1);
    QCOMPARE(held.size(), 6);
    for (const QString &entry : held)
        QVERIFY(entry.toUtf8().size() <= 4096);
    if (!loaded.isEmpty())
        QCOMPARE(held, loaded);
    QCOMPARE(readAll(path), content);
    QStringList shown = held;
    for (QString &line : shown) {
        for (QChar &c : line) {
            if (c.category() == QChar::Other_Control || c == QChar::LineSeparator
                || c == QChar::ParagraphSeparator)
                c = u' ';
        }
    }
    const auto *delegate = qobject_cast<QStyledItemDelegate *>(form.List1->itemDelegate());
    for (int i = 0; i < held.size(); ++i)
        QCOMPARE(delegate->displayText(form.List1->item(i)->text(), QLocale()), shown[i]);

    // A game too long for any place, then No.
    form.gameState.clickCount = 2e9;
    form.EndGame();
    QCOMPARE(game.platform.messages.value(0).text, shown.mid(1).join(QStringLiteral("\r\n\r\n")));
    QCOMPARE(game.platform.endStatuses, QList<int> { 0 });
    QCOMPARE(readAll(path), HallOfFameLines::formatLines(held));
    QCOMPARE(HallOfFameFile::load(path), held);
}

void TestHostile::hallOfFameFolderRefused_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("directory in its place") << "directory";
    QTest::newRow("no read permission") << "unreadable";
}

void TestHostile::hallOfFameFolderRefused()
{
    QFETCH(QString, how);
    if (how == QLatin1String("unreadable") && geteuid() == 0)
        QSKIP("permission bits do not stop root");
    FormFixture game;
    const QString path = game.dir.filePath(QStringLiteral("Tilvane.ini"));
    if (how == QLatin1String("directory")) {
        QVERIFY(QDir().mkpath(path));
    } else {
        QVERIFY(writeAll(path, "[Tilvane]\r\n"));
        QFile::setPermissions(path, QFileDevice::WriteOwner);
    }
    Form1 form(kEdition31, game.platform);
    QVERIFY(!form.start());
    QVERIFY(!form.isVisible());
    QCOMPARE(game.platform.failures.size(), 1);
    QVERIFY2(game.platform.failures[0].contains(path), qPrintable(game.platform.failures[0]));
    QCOMPARE(game.platform.endStatuses, QList<int> { 1 });
    // Busy while the file was tried, no longer when the failure is shown.
    QCOMPARE(game.platform.busyChanges, (QList<bool> { true, false }));
}

// Another copy rewrote the file meanwhile: the one that closes last decides,
// and what it leaves is whole. The window shows it is busy while it starts
// and saves, since another program may hold the file.
void TestHostile::fileChangedWhilePlaying()
{
    FormFixture game;
    const QString path = game.dir.filePath(QStringLiteral("Tilvane.ini"));
    Form1 &form = game.open(kEdition31);
    QCOMPARE(game.platform.busyChanges, (QList<bool> { true, false }));
    QVERIFY(writeAll(path, "[Other]\r\nNo1 Other Time 00:00:09 Trys 9\r\n"));
    form.List1->item(2)->setText(QStringLiteral("No2 Mine Time 00:00:07 Trys 7"));
    form.close();
    QStringList expected = kDefaults;
    expected[2] = QStringLiteral("No2 Mine Time 00:00:07 Trys 7");
    QCOMPARE(readAll(path), HallOfFameLines::formatLines(expected));
    QCOMPARE(game.platform.busyChanges, (QList<bool> { true, false, true, false }));
}

void TestHostile::names_data()
{
    QTest::addColumn<QStringList>("typed");
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QStringList { "" } << "";
    QTest::newRow("cancelled") << QStringList() << "";
    QTest::newRow("10,000 characters")
        << QStringList { QString(10000, u'n') } << QString(1000, u'n');
    QTest::newRow("commas") << QStringList { "Smith, Ann, Jr." } << "Smith, Ann, Jr.";
    QTest::newRow("tabs") << QStringList { "Ann\tBob" } << "Ann Bob";
    QTest::newRow("line breaks") << QStringList { "Ann\r\nNo1 Eve\nTrys 1" }
                                 << "Ann  No1 Eve Trys 1";
    QTest::newRow("emoji") << QStringList { QString::fromUtf8("Ann \U0001F600\U0001F3C6") }
                           << QString::fromUtf8("Ann \U0001F600\U0001F3C6");
    QTest::newRow("right to left")
        << QStringList { QString::fromUtf8("\u05D3\u05E0\u05D4 \u202Eevil") }
        << QString::fromUtf8("\u05D3\u05E0\u05D4 \u202Eevil");
}

void TestHostile::names()
{
    QFETCH(QStringList, typed);
    QFETCH(QString, name);
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    game.platform.typed = typed;
    form.gameState.clickCount = 120;
    form.EndGame();
    const QString line = QStringLiteral("No1 ") + name + QStringLiteral(" Time 00:00:00 Trys 60");
    QCOMPARE(form.List1->item(1)->text(), line);

    const QByteArray saved = readAll(game.dir.filePath(QStringLiteral("Tilvane.ini")));
    QCOMPARE(saved.count("\r\n"), 6);
    QCOMPARE(saved.count('\n'), 6);
    FormFixture again;
    again.platform.folder = game.dir.path();
    QCOMPARE(entries(again.open(kEdition31).List1), entries(form.List1));
}

void TestHostile::killedWhileSaving_data()
{
    QTest::addColumn<bool>("machineWide");
    QTest::newRow("beside the program") << false;
    QTest::newRow("machine-wide") << true;
}

// The process is killed at random moments while it saves one Hall of Fame
// after another: the file is always one of them whole, never a mixture.
void TestHostile::killedWhileSaving()
{
    QFETCH(bool, machineWide);
    const auto sharing
        = machineWide ? HallOfFameFile::Sharing::MachineWide : HallOfFameFile::Sharing::Private;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tilvane.ini"));
    QStringList first = kDefaults;
    QStringList second = kDefaults;
    for (int i = 1; i <= 5; ++i)
        second[i] = QStringLiteral("No%1 %2 Time 00:01:00 Trys %1").arg(i).arg(QString(300, u'k'));
    const QByteArray firstBytes = HallOfFameLines::formatLines(first);
    const QByteArray secondBytes = HallOfFameLines::formatLines(second);
    HallOfFameFile::save(path, first, sharing);

    QRandomGenerator random(1234);
    for (int round = 0; round < 150; ++round) {
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            for (;;) {
                HallOfFameFile::save(path, second, sharing);
                HallOfFameFile::save(path, first, sharing);
            }
        }
        usleep(random.bounded(200, 4000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        const QByteArray now = readAll(path);
        QVERIFY2(now == firstBytes || now == secondBytes,
            qPrintable(QStringLiteral("round %1: %2 bytes").arg(round).arg(now.size())));
    }
    // A killed save may leave its file named for a moment; the next save
    // removes it.
    qInfo("%lld files left behind by the kills",
        qlonglong(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size() - 1));
    HallOfFameFile::save(path, first, sharing);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("Tilvane.ini") });
}

void TestHostile::usbStick_data()
{
    QTest::addColumn<QString>("fileSystem");
    QTest::addColumn<bool>("machineWide");
    for (const char *fileSystem : { "vfat", "exfat" }) {
        QTest::addRow("%s, 3.1 beside the program", fileSystem) << fileSystem << false;
        QTest::addRow("%s, 3 with SystemDrive on it", fileSystem) << fileSystem << true;
    }
}

// The game copied onto a USB stick, whose file system has no unnamed files,
// no hard links and no permission bits: it starts, saves so that the stick
// pulled out right after holds the new file, keeps its file whole through a
// save killed halfway and through a rename cut off midway, and the next save
// clears what those left behind.
void TestHostile::usbStick()
{
    QFETCH(QString, fileSystem);
    QFETCH(bool, machineWide);
    const StickImage stick(fileSystem);
    if (!stick.isMounted())
        QSKIP(qPrintable(stick.whyNot()));
    const EditionProfile &profile = machineWide ? kEdition3 : kEdition31;
    const QString folder
        = stick.path() + (machineWide ? QStringLiteral("/var/tmp") : QStringLiteral("/Games"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Tilvane.ini");
    const auto play = [&](const QStringList &expected, const QString &result) {
        FormFixture game(false);
        game.platform.folder = stick.path() + QStringLiteral("/Games");
        game.platform.environment.insert(QStringLiteral("SystemDrive"), stick.path());
        Form1 &form = game.open(profile);
        QVERIFY2(game.platform.failures.isEmpty(), qPrintable(game.platform.failures.join('\n')));
        QCOMPARE(entries(form.List1), expected);
        form.List1->item(1)->setText(result);
        form.close();
        QVERIFY2(game.platform.failures.isEmpty(), qPrintable(game.platform.failures.join('\n')));
    };
    QStringList saved = kDefaults;
    saved[1] = QStringLiteral("No1 Stick Time 00:02:00 Trys 60");
    play(kDefaults, saved[1]);
    QCOMPARE(readAll(path), HallOfFameLines::formatLines(saved));
    {
        const StickImage pulledOut(fileSystem, stick.imagePath());
        QVERIFY2(pulledOut.isMounted(), qPrintable(pulledOut.whyNot()));
        QCOMPARE(readAll(pulledOut.path() + path.mid(stick.path().size())),
            HallOfFameLines::formatLines(saved));
    }

    // Killed while it writes the new file, by the file-size limit's signal.
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        const struct rlimit limit {
            16, 16
        };
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_DFL);
        HallOfFameFile::save(path, kDefaults,
            machineWide ? HallOfFameFile::Sharing::MachineWide : HallOfFameFile::Sharing::Private);
        _exit(0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(readAll(path), HallOfFameLines::formatLines(saved));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);
    // exFAT's driver renames in three writes: cut off after the first, the
    // stick holds the whole new file under its own name and no file.
    QVERIFY(QFile::rename(path, path + QStringLiteral(".saving2")));

    QStringList next = saved;
    next[1] = QStringLiteral("No1 Next Time 00:01:00 Trys 55");
    play(saved, next[1]);
    QCOMPARE(readAll(path), HallOfFameLines::formatLines(next));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("Tilvane.ini") });
}

void TestHostile::unreadableProgramFolder_data()
{
    QTest::addColumn<QString>("program");
    QTest::newRow("tilvane-v1") << QStringLiteral(TILVANE_V1);
    QTest::newRow("tilvane-v31") << QStringLiteral(TILVANE_V31);
}

// A real program in a folder whose name is no UTF-8: it stops with a message
// naming the folder, instead of looking for its files at the root.
void TestHostile::unreadableProgramFolder()
{
    QFETCH(QString, program);
    QTemporaryDir dir;
    const std::filesystem::path folder
        = std::filesystem::path(QFile::encodeName(dir.path()).toStdString()) / "Games\xff\xfe";
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(QFile::encodeName(program).toStdString(), folder / "tilvane");

    QProcess run;
    run.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    run.setProcessEnvironment(environment);
    // The shell passes the name on as the bytes it is.
    run.start(QStringLiteral("/bin/sh"),
        { QStringLiteral("-c"), QStringLiteral("exec \"./Games$(printf '\\377\\376')/tilvane\"") });
    QVERIFY(run.waitForStarted());
    run.setReadChannel(QProcess::StandardError);
    QByteArray errors;
    // The message goes to the error output before its box waits for an answer.
    while (!errors.contains("not valid UTF-8") && run.waitForReadyRead(10000))
        errors += run.readAllStandardError();
    run.kill();
    run.waitForFinished();
    QVERIFY2(errors.contains("The name of the folder that holds this program is not valid UTF-8"),
        errors.constData());
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
