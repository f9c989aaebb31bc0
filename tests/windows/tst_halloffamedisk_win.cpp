// SPDX-License-Identifier: MIT
// The Hall-of-Fame file's Windows side, cross-built and run under Wine. A
// second copy of the game is this program started again with "copy-start"
// or "copy-save". Wine enforces share modes and conflicts between locks, but
// neither what a byte-range lock does to ReadFile and WriteFile nor DACLs:
// what it cannot show is skipped or said so. It has no reparse points either,
// so nothing here puts a link at the path.
#include "halloffamedisk.h"
#include "halloffameerror.h"
#include "halloffamefile.h"
#include "halloffamelines.h"

#include <memory>
#include <optional>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <thread>
#include <vector>
#include <windows.h>
// Need windows.h before them.
#include <aclapi.h>
#include <sddl.h>

using HallOfFameFile::Sharing;

namespace
{

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const QByteArray OldContent = "old\r\n";
const QByteArray DefaultContent = HallOfFameLines::formatLines(HallOfFameLines::defaultLines());
const QByteArray WholeContent
    = "[Tilvane]\r\nNo1 Ann Time 00:04:10 Trys 57\r\n2\r\n3\r\n4\r\n5\r\n";

// The names a save writes its new file under, beside the file.
QStringList temporaryPaths(const QString &path)
{
    QStringList paths;
    for (int n = 1; n <= 4; ++n)
        paths << path + QStringLiteral(".new%1").arg(n);
    return paths;
}

// A handle of the test's own, standing for another program's.
class Held
{
public:
    Held(const QString &path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING)
        : m_handle(::CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), access,
            share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~Held() { release(); }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    void release()
    {
        if (isOpen())
            ::CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }
    // Takes the copies' lock, a byte far past the end, until released.
    bool lockForGood() const
    {
        OVERLAPPED at {};
        at.Offset = DWORD(0x7FFF'FFFF'0000'0000);
        at.OffsetHigh = DWORD(0x7FFF'FFFF'0000'0000 >> 32);
        return ::LockFileEx(m_handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
    }
    // Whether a shared lock on the range can be had now; it is let go at once.
    bool canLock(quint64 offset, quint64 length) const
    {
        OVERLAPPED at {};
        at.Offset = DWORD(offset);
        at.OffsetHigh = DWORD(offset >> 32);
        if (!::LockFileEx(
                m_handle, LOCKFILE_FAIL_IMMEDIATELY, 0, DWORD(length), DWORD(length >> 32), &at))
            return false;
        ::UnlockFileEx(m_handle, 0, DWORD(length), DWORD(length >> 32), &at);
        return true;
    }

private:
    HANDLE m_handle;
};

quint64 fileIndexOf(const QString &path)
{
    Held file(path, FILE_READ_ATTRIBUTES, ShareAll);
    BY_HANDLE_FILE_INFORMATION info {};
    if (!file.isOpen() || !::GetFileInformationByHandle(file.get(), &info))
        return 0;
    return quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
}

bool underWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(file.errorString()));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

std::unique_ptr<QProcess> startCopy(const QStringList &arguments)
{
    auto copy = std::make_unique<QProcess>();
    copy->start(QCoreApplication::applicationFilePath(), arguments);
    return copy;
}

// Waits for a copy: empty when it ended with status 0, else why not.
QByteArray failureOf(QProcess &copy)
{
    // waitForFinished() is false for a copy that has already ended.
    if (copy.state() != QProcess::NotRunning && !copy.waitForFinished(60000))
        return "the copy did not end";
    if (copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0)
        return {};
    if (copy.error() != QProcess::UnknownError)
        return copy.errorString().toUtf8();
    return "status " + QByteArray::number(copy.exitCode()) + ": " + copy.readAllStandardError();
}

// A second copy of the game: "copy-start <path>" starts edition 3, "copy-save
// <path> private|machine-wide" saves the default lines. It ends with status 1
// for a HallOfFameError, which it prints, and 3 when it started with another
// Hall of Fame than the default one. (Under Wine, what a copy prints just
// before it ends may not reach the test.)
int runCopy(const QStringList &arguments)
{
    const QString path = arguments.at(2);
    try {
        if (arguments.at(1) == QLatin1String("copy-start")) {
            HallOfFameFile::makeIfMissing(path, Sharing::MachineWide);
            if (HallOfFameFile::load(path, Sharing::MachineWide) != HallOfFameLines::defaultLines())
                return 3;
        } else {
            HallOfFameFile::save(path, HallOfFameLines::defaultLines(),
                arguments.at(3) == QLatin1String("machine-wide") ? Sharing::MachineWide
                                                                 : Sharing::Private);
        }
    } catch (const HallOfFameError &error) {
        ::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}

} // namespace

class TestHallOfFameDiskWin : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void saveReplacesTheFile_data();
    void saveReplacesTheFile();
    void copiesStartTogether_data();
    void copiesStartTogether();
    void saveInPlaceHoldsItsLockOffTheData_data();
    void saveInPlaceHoldsItsLockOffTheData();
    void fileWithTwoNames();
    void leftoversAreRemovedByName_data();
    void leftoversAreRemovedByName();
    void machineWideFileGrantsEveryoneDataOnly();

private:
    QString iniPath() const
    {
        return QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("Tilvane.ini")));
    }

    std::optional<QTemporaryDir> m_dir;
};

void TestHallOfFameDiskWin::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void TestHallOfFameDiskWin::saveReplacesTheFile_data()
{
    QTest::addColumn<bool>("machineWide");
    QTest::addColumn<QString>("how");
    // How long a reader has the old file, or the new one, open.
    QTest::addColumn<int>("holdMilliseconds");
    QTest::newRow("private") << false << "" << 0;
    QTest::newRow("machine-wide") << true << "" << 0;
    QTest::newRow("while another copy reads") << false << "old read" << 500;
    QTest::newRow("file kept open for long") << false << "old read" << 7000;
    QTest::newRow("lock held for good, new file read") << false << "new read" << 300;
    QTest::newRow("hidden file") << false << "hidden" << 0;
    QTest::newRow("folder near 260 characters") << false << "deep" << 0;
}

// ReplaceFileW puts a new file in the old one's place (under Wine its file
// index is the inode in the prefix), hidden if the old one was, and waits for
// a virus scanner reading the new one even after a lock held for good. Wine
// has no MAX_PATH limit to lift and no ACLs or owners for ReplaceFileW to keep.
void TestHallOfFameDiskWin::saveReplacesTheFile()
{
    QFETCH(bool, machineWide);
    QFETCH(QString, how);
    QFETCH(int, holdMilliseconds);
    QString path = iniPath();
    if (how == "deep") {
        // Tilvane.ini itself below MAX_PATH, the temporary names above.
        const QString folder(MAX_PATH - 3 - int(path.size()), u'f');
        QVERIFY(QDir(m_dir->path()).mkdir(folder));
        path = QDir::toNativeSeparators(m_dir->filePath(folder + "/Tilvane.ini"));
        QVERIFY(temporaryPaths(path).at(0).size() > MAX_PATH);
    }
    writeBytes(path, OldContent);
    const DWORD attributes = how == "hidden" ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL;
    QVERIFY(::SetFileAttributesW(path.toStdWString().c_str(), attributes));
    const quint64 oldFile = fileIndexOf(path);
    const Held locker(path, GENERIC_READ, ShareAll);
    std::optional<Held> reader;
    if (how == "old read")
        reader.emplace(path, GENERIC_READ, ShareAll);
    else if (how == "new read")
        QVERIFY(locker.lockForGood());
    const auto copy = startCopy(
        { QStringLiteral("copy-save"), path, machineWide ? "machine-wide" : "private" });
    // Opened the moment it is there, as a virus scanner would.
    const QDeadlineTimer spin(how == "new read" ? 30000 : 0);
    while (!reader && !spin.hasExpired() && !copy->waitForFinished(0)) {
        reader.emplace(temporaryPaths(path).at(0), GENERIC_READ, ShareAll);
        if (!reader->isOpen())
            reader.reset();
    }
    if (how == "new read" && !reader)
        QSKIP("The new file had its name before the test could open it.");
    QTest::qWait(holdMilliseconds);
    reader.reset();
    const QByteArray failure = failureOf(*copy);
    QVERIFY2(failure.isEmpty(), failure.constData());
    QCOMPARE(readBytes(path), DefaultContent);
    QVERIFY(fileIndexOf(path) != oldFile);
    QCOMPARE(::GetFileAttributesW(path.toStdWString().c_str()) & FILE_ATTRIBUTE_HIDDEN,
        attributes & FILE_ATTRIBUTE_HIDDEN);
    for (const QString &temporary : temporaryPaths(path))
        QVERIFY2(!QFile::exists(temporary), qPrintable(temporary));
}

void TestHallOfFameDiskWin::copiesStartTogether_data()
{
    QTest::addColumn<bool>("heldUnshared");
    QTest::newRow("no file yet") << false;
    QTest::newRow("file open unshared for a moment") << true;
}

void TestHallOfFameDiskWin::copiesStartTogether()
{
    QFETCH(bool, heldUnshared);
    std::optional<Held> holder;
    if (heldUnshared) {
        writeBytes(iniPath(), DefaultContent);
        holder.emplace(iniPath(), GENERIC_READ, 0);
        QVERIFY(holder->isOpen());
    }
    const auto first = startCopy({ QStringLiteral("copy-start"), iniPath() });
    const auto second = startCopy({ QStringLiteral("copy-start"), iniPath() });
    if (holder) {
        QVERIFY(first->waitForStarted() && second->waitForStarted());
        QTest::qWait(1500);
        holder->release();
    }
    for (QProcess *copy : { first.get(), second.get() }) {
        const QByteArray failure = failureOf(*copy);
        QVERIFY2(failure.isEmpty(), failure.constData());
    }
    QCOMPARE(readBytes(iniPath()), DefaultContent);
}

// Every temporary name is taken by a save in progress, so the copy rewrites
// the file in place; the file is open without write sharing, so it waits,
// holding its lock, and the test looks at the lock meanwhile.
void TestHallOfFameDiskWin::saveInPlaceHoldsItsLockOffTheData_data()
{
    QTest::addColumn<bool>("movedAway");
    QTest::newRow("file stays") << false;
    QTest::newRow("file moved away meanwhile") << true;
}

void TestHallOfFameDiskWin::saveInPlaceHoldsItsLockOffTheData()
{
    QFETCH(bool, movedAway);
    writeBytes(iniPath(), OldContent);
    const quint64 oldFile = fileIndexOf(iniPath());
    std::vector<std::unique_ptr<Held>> savesInProgress;
    for (const QString &temporary : temporaryPaths(iniPath())) {
        savesInProgress.push_back(
            std::make_unique<Held>(temporary, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW));
        QVERIFY(savesInProgress.back()->isOpen());
    }
    std::optional<Held> noWriters;
    noWriters.emplace(iniPath(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    const Held probe(iniPath(), GENERIC_READ, ShareAll);
    const auto copy
        = startCopy({ QStringLiteral("copy-save"), iniPath(), QStringLiteral("private") });
    QVERIFY2(QTest::qWaitFor([&] { return !probe.canLock(0, ~quint64(0)); }, 30000),
        "the saving copy took no lock");
    // Nowhere in the first terabyte. Only on Windows does a lock there make
    // ReadFile fail with ERROR_LOCK_VIOLATION; Wine lets the read through.
    QVERIFY(probe.canLock(0, quint64(1) << 40));
    char bytes[64] = {};
    DWORD count = 0;
    QVERIFY(::ReadFile(probe.get(), bytes, sizeof bytes, &count, nullptr));
    QCOMPARE(QByteArray(bytes, int(count)), OldContent);
    if (movedAway) {
        // Moved once the copy waits to write, a few milliseconds after it locked.
        QTest::qWait(1000);
        const QString moved
            = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("Moved.ini")));
        QVERIFY(::MoveFileExW(iniPath().toStdWString().c_str(), moved.toStdWString().c_str(), 0));
        writeBytes(iniPath(), "theirs\r\n");
        noWriters.reset();
        QVERIFY(!failureOf(*copy).isEmpty());
        QCOMPARE(readBytes(moved), OldContent);
        QCOMPARE(readBytes(iniPath()), QByteArray("theirs\r\n"));
        return;
    }

    QStringList loaded;
    std::thread reader([&] {
        try {
            loaded = HallOfFameFile::load(iniPath(), Sharing::Private);
        } catch (const HallOfFameError &error) {
            loaded = QStringList { error.message() };
        }
    });
    QTest::qWait(300);
    noWriters.reset();
    reader.join();
    const QByteArray failure = failureOf(*copy);
    QVERIFY2(failure.isEmpty(), failure.constData());
    QCOMPARE(loaded, HallOfFameLines::defaultLines());
    QCOMPARE(readBytes(iniPath()), DefaultContent);
    QCOMPARE(fileIndexOf(iniPath()), oldFile);
}

// A second name keeps the old bytes when the file is replaced, and the
// machine-wide file is saved as usual. Rewritten in place, the player's own
// file would change the other name too, and is refused; another user's would
// not be, which Wine, with one user, cannot show.
void TestHallOfFameDiskWin::fileWithTwoNames()
{
    writeBytes(iniPath(), OldContent);
    const QString secondName
        = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("Copy.ini")));
    QVERIFY(::CreateHardLinkW(
        secondName.toStdWString().c_str(), iniPath().toStdWString().c_str(), nullptr));
    try {
        HallOfFameDisk::rewriteInPlace(iniPath(), DefaultContent, {});
        QFAIL("rewritten in place through two names");
    } catch (const HallOfFameError &error) {
        QVERIFY2(error.reason().contains(QLatin1String("more than one name")),
            qPrintable(error.reason()));
    }
    HallOfFameFile::save(iniPath(), HallOfFameLines::defaultLines(), Sharing::MachineWide);
    QCOMPARE(readBytes(iniPath()), DefaultContent);
    QCOMPARE(readBytes(secondName), OldContent);
}

void TestHallOfFameDiskWin::leftoversAreRemovedByName_data()
{
    // A start without a file, else a save over one.
    QTest::addColumn<bool>("start");
    // Which leftover holds a whole Hall of Fame, if any.
    QTest::addColumn<int>("whole");
    QTest::addColumn<QList<int>>("inUse");
    QTest::newRow("four left by killed saves") << false << -1 << QList<int>();
    QTest::newRow("one still in use by a save") << false << -1 << QList<int> { 2 };
    QTest::newRow("a rename cut off, one whole") << true << 1 << QList<int>();
    QTest::newRow("all four held by another user") << true << -1 << QList<int> { 0, 1, 2, 3 };
}

// What cut-off saves left goes once the file is whole; a start without a file
// takes up a whole one, or finds a fifth name when all four are held. Wine,
// run by one user, cannot withhold the right to list the folder: what this
// shows is that the names are found without listing it.
void TestHallOfFameDiskWin::leftoversAreRemovedByName()
{
    QFETCH(bool, start);
    QFETCH(int, whole);
    QFETCH(QList<int>, inUse);
    if (!start)
        writeBytes(iniPath(), OldContent);
    const QStringList leftovers = temporaryPaths(iniPath());
    for (int index = 0; index < leftovers.size(); ++index)
        writeBytes(leftovers.at(index), index == whole ? WholeContent : "No1 half");
    std::vector<std::unique_ptr<Held>> saving;
    for (const int index : inUse)
        saving.push_back(
            std::make_unique<Held>(leftovers.at(index), GENERIC_READ, FILE_SHARE_READ));
    if (start)
        HallOfFameFile::makeIfMissing(iniPath(), Sharing::MachineWide);
    else
        HallOfFameFile::save(iniPath(), HallOfFameLines::defaultLines(), Sharing::Private);
    QCOMPARE(readBytes(iniPath()), whole >= 0 ? WholeContent : DefaultContent);
    QStringList left { QStringLiteral("Tilvane.ini") };
    for (const int index : inUse)
        left.append(QFileInfo(leftovers.at(index)).fileName());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), left);
}

void TestHallOfFameDiskWin::machineWideFileGrantsEveryoneDataOnly()
{
    HallOfFameFile::makeIfMissing(iniPath(), Sharing::MachineWide);
    if (underWine())
        QSKIP("Wine keeps no DACL: it reads back one made from the file's Unix mode bits");
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    QCOMPARE(::GetNamedSecurityInfoW(iniPath().toStdWString().c_str(), SE_FILE_OBJECT,
                 DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &descriptor),
        DWORD(ERROR_SUCCESS));
    QMap<QString, ACCESS_MASK> granted;
    for (DWORD index = 0; dacl && index < dacl->AceCount; ++index) {
        ACCESS_ALLOWED_ACE *ace = nullptr;
        LPWSTR sid = nullptr;
        if (::GetAce(dacl, index, reinterpret_cast<void **>(&ace))
            && ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE
            && ::ConvertSidToStringSidW(&ace->SidStart, &sid)) {
            granted[QString::fromWCharArray(sid)] |= ace->Mask;
            ::LocalFree(sid);
        }
    }
    ::LocalFree(descriptor);
    // Everyone; the owner, through OWNER RIGHTS.
    QCOMPARE(granted.value(QStringLiteral("S-1-1-0")),
        ACCESS_MASK(FILE_GENERIC_READ | FILE_WRITE_DATA | FILE_APPEND_DATA));
    QCOMPARE(granted.value(QStringLiteral("S-1-3-4")), ACCESS_MASK(FILE_ALL_ACCESS));
}

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 2 && arguments.at(1).startsWith(QLatin1String("copy-")))
        return runCopy(arguments);
    TestHallOfFameDiskWin test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_halloffamedisk_win.moc"
