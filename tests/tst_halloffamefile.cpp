// SPDX-License-Identifier: MIT
#include "halloffamedisk.h"
#include "halloffameerror.h"
#include "halloffamefile.h"
#include "halloffamelinereader.h"
#include "halloffamelines.h"
#include "halloffameranking.h"

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <optional>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

// Stand-ins for calls of the C library. umask() counts its calls: the
// process's umask is shared by its threads, and the game has three, so the
// file code must never change it. rename() gives a test the one moment it
// cannot reach otherwise, just before a new file takes the file's name.
// fchmod() fails on demand, as a file system or a security module may make
// it; usleep() adds up how long the file code waited.
namespace
{
int umaskCalls = 0;
std::function<int(const char *from, const char *to)> beforeRename;
bool fchmodFails = false;
qint64 sleptMicroseconds = 0;
} // namespace

extern "C" int fchmod(int fd, mode_t mode) noexcept
{
    return fchmodFails ? (errno = EPERM, -1) : int(::syscall(SYS_fchmod, fd, mode));
}

extern "C" int usleep(useconds_t microseconds)
{
    sleptMicroseconds += microseconds;
    const timespec time { time_t(microseconds / 1000000), long(microseconds % 1000000) * 1000 };
    return ::nanosleep(&time, nullptr);
}

extern "C" mode_t umask(mode_t mask) noexcept
{
    ++umaskCalls;
    return mode_t(::syscall(SYS_umask, mask));
}

extern "C" int rename(const char *from, const char *to) noexcept
{
    if (beforeRename)
        return std::exchange(beforeRename, nullptr)(from, to);
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

using HallOfFameFile::Sharing;

namespace
{

enum Operation { Create, Load, Save };

Sharing sharingOf(bool machineWide)
{
    return machineWide ? Sharing::MachineWide : Sharing::Private;
}

void run(Operation operation, const QString &path, Sharing sharing)
{
    switch (operation) {
    case Create:
        HallOfFameFile::makeIfMissing(path, sharing);
        break;
    case Load:
        HallOfFameFile::load(path, sharing);
        break;
    case Save:
        HallOfFameFile::save(path, HallOfFameLines::defaultLines(), sharing);
        break;
    }
}

std::optional<HallOfFameError> errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const HallOfFameError &error) {
        return error;
    }
    return std::nullopt;
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
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

struct stat statusOf(const QString &path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        status.st_ino = 0;
    return status;
}

bool isRoot()
{
    return ::geteuid() == 0;
}

long peakMemoryKiB()
{
    struct rusage usage {
    };
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Bytes this process has read from files so far.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar: "))
            return line.sliced(7).toLongLong();
    }
    return -1;
}

// Players of one machine, by number: Ann and Bob share the group Players,
// Cid is in no group of theirs.
struct User {
    uid_t uid;
    gid_t gid;
    std::optional<gid_t> otherGroup;
};
const gid_t Players = 4000;
const User Nobody { 65534, 65534, std::nullopt };
const User Ann { 4001, 4001, Players };
const User Bob { 4002, 4002, Players };
const User Cid { 4003, 4003, std::nullopt };
const User Root { 0, 0, std::nullopt };

// Runs `action` in a child process as `user`, or as this user when it is
// not root. 0: done, 1: HallOfFameError (printed), 3: cannot switch users
// here.
int exitStatusAs(const User &user, const std::function<void()> &action)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        const gid_t groups[] = { user.otherGroup.value_or(user.gid) };
        if (isRoot() && user.uid != 0
            && (::setgroups(1, groups) != 0 || ::setgid(user.gid) != 0 || ::setuid(user.uid) != 0))
            ::_exit(3);
        try {
            action();
        } catch (const HallOfFameError &error) {
            ::fprintf(stderr, "%s\n", error.what());
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

const QByteArray DefaultContent = HallOfFameLines::formatLines(HallOfFameLines::defaultLines());

QByteArray aclOf(const QString &path)
{
    QByteArray acl(4096, Qt::Uninitialized);
    const ssize_t size = ::getxattr(
        QFile::encodeName(path).constData(), "system.posix_acl_access", acl.data(), acl.size());
    return size < 0 ? QByteArray() : acl.first(size);
}

class Umask
{
public:
    explicit Umask(mode_t mask)
        : m_old(::umask(mask))
    {
    }
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

// Writes beyond `bytes` fail with EFBIG in this process, even for root.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    struct rlimit m_old {
    };
    void (*m_oldHandler)(int);
};

} // namespace

class TestHallOfFameFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void missingFileIsCreatedWithDefaults_data();
    void missingFileIsCreatedWithDefaults();
    void existingFileIsNeverRewritten_data();
    void existingFileIsNeverRewritten();
    void load_data();
    void load();
    void saveWritesSixLinesBack_data();
    void saveWritesSixLinesBack();
    void resultWithCommaSurvivesSaveAndLoad();
    void failedSaveLeavesOldFile_data();
    void failedSaveLeavesOldFile();
    void missingFolder_data();
    void missingFolder();
    void notARegularFile_data();
    void notARegularFile();
    void hugeFilesLoadBounded_data();
    void hugeFilesLoadBounded();

    void machineWideFileIsSharedByEveryone();
    void machineWideSaveReplacesOwnFile();
    void saveKeepsOrSharesPermissions_data();
    void saveKeepsOrSharesPermissions();
    void symbolicLinkRefused_data();
    void symbolicLinkRefused();
    void hardLink_data();
    void hardLink();
    void rewriteInPlace_data();
    void rewriteInPlace();
    void rewriteInPlaceRefuses_data();
    void rewriteInPlaceRefuses();
    void machineWideSaveOfAnotherUsersFileInStickyFolder_data();
    void machineWideSaveOfAnotherUsersFileInStickyFolder();
    void inPlaceSaveOfFileMovedAwayFails();
    void leftoverNames_data();
    void leftoverNames();
    void saveKeepsWhatTheFileHas_data();
    void saveKeepsWhatTheFileHas();
    void lockedFileIsWaitedFor_data();
    void lockedFileIsWaitedFor();
    void waitsForOthersAreBounded_data();
    void waitsForOthersAreBounded();

private:
    QString pathIn(const QString &name) const { return m_dir->filePath(name); }
    QString iniPath() const { return pathIn(QStringLiteral("Tilvane.ini")); }

    std::optional<QTemporaryDir> m_dir;
};

void TestHallOfFameFile::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void TestHallOfFameFile::missingFileIsCreatedWithDefaults_data()
{
    QTest::addColumn<bool>("machineWide");
    QTest::addColumn<int>("mode");
    // What saves cut off left, oldest first, as Tilvane.ini.saving1, 2, ...
    QTest::addColumn<QByteArrayList>("leftovers");
    // Whether the last of them is still a running save's.
    QTest::addColumn<bool>("held");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray ann = "[Tilvane]\r\nNo1 Ann Time 00:04:10 Trys 57\r\n2\r\n3\r\n4\r\n5\r\n";
    const QByteArray bob = "[Tilvane]\r\nNo1 Bob Time 00:03:00 Trys 50\r\n2\r\n3\r\n4\r\n5\r\n";
    const QByteArray none = DefaultContent;
    QTest::newRow("private, as the umask says")
        << false << 0640 << QByteArrayList() << false << none;
    QTest::newRow("machine-wide, everyone's") << true << 0666 << QByteArrayList() << false << none;
    QTest::newRow("whole file of a cut-off save")
        << true << 0600 << QByteArrayList { ann } << false << ann;
    QTest::newRow("the newest of two")
        << false << 0600 << QByteArrayList { ann, bob } << false << bob;
    QTest::newRow("half a file") << false << 0640 << QByteArrayList { ann.first(30) } << false
                                 << none;
    QTest::newRow("a save's still running")
        << false << 0640 << QByteArrayList { ann } << true << none;
}

// A missing file gets the default lines, unless a save was cut off once its
// new file was whole (a stick pulled, a rename torn midway): then that file
// becomes the Hall of Fame. What is left over goes once the file is whole.
void TestHallOfFameFile::missingFileIsCreatedWithDefaults()
{
    QFETCH(bool, machineWide);
    QFETCH(int, mode);
    QFETCH(QByteArrayList, leftovers);
    QFETCH(bool, held);
    QFETCH(QByteArray, expected);
    QStringList left;
    for (int i = 0; i < leftovers.size(); ++i) {
        left = QStringList { QString("Tilvane.ini.saving%1").arg(i + 1) };
        writeBytes(pathIn(left[0]), leftovers[i]);
        const QByteArray name = QFile::encodeName(pathIn(left[0]));
        const timespec times[] = { { 0, UTIME_OMIT }, { 1000000 + i, 0 } };
        QVERIFY(::chmod(name, mode) == 0 && ::utimensat(AT_FDCWD, name, times, 0) == 0);
    }
    QFile running(pathIn(left.value(0)));
    if (held)
        QVERIFY(running.open(QIODevice::ReadOnly) && ::flock(running.handle(), LOCK_EX) == 0);
    else
        left.clear();
    {
        const Umask umask(027);
        umaskCalls = 0;
        HallOfFameFile::makeIfMissing(iniPath(), sharingOf(machineWide));
        QCOMPARE(umaskCalls, 0);
    }
    QCOMPARE(readBytes(iniPath()), expected);
    QCOMPARE(statusOf(iniPath()).st_mode & 07777, mode_t(mode));
    QCOMPARE(HallOfFameFile::load(iniPath(), sharingOf(machineWide)),
        HallOfFameLines::parseLines(expected));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
        QStringList { "Tilvane.ini" } + left);
}

void TestHallOfFameFile::existingFileIsNeverRewritten_data()
{
    QTest::addColumn<bool>("machineWide");
    QTest::addColumn<QByteArray>("content");

    const QList<std::pair<const char *, QByteArray>> contents {
        { "empty", QByteArray() },
        { "one header line", "[Tilvane]" },
        { "three lines", "[Tilvane]\r\nNo1 A Time 00:00:01 Trys 5\r\n\r\n" },
        { "eight lines", "0\n1\n2\n3\n4\n5\n6\n7\n" },
        { "binary", QByteArray("\0\xff\xfe\r\r\x01", 6) },
        { "Latin-1", "[Tilvane]\r\nNo1 Jos\xe9 Time 00:00:01 Trys 5\r\n" },
    };
    for (const bool machineWide : { false, true }) {
        for (const auto &[name, content] : contents) {
            QTest::addRow("%s, %s", machineWide ? "machine-wide" : "private", name)
                << machineWide << content;
        }
    }
}

void TestHallOfFameFile::existingFileIsNeverRewritten()
{
    QFETCH(bool, machineWide);
    QFETCH(QByteArray, content);
    writeBytes(iniPath(), content);
    const QDateTime longAgo(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(longAgo, QFileDevice::FileModificationTime));
    }

    HallOfFameFile::makeIfMissing(iniPath(), sharingOf(machineWide));
    const QStringList entries = HallOfFameFile::load(iniPath(), sharingOf(machineWide));

    QCOMPARE(entries.size(), HallOfFameLines::EntryCount);
    QCOMPARE(readBytes(iniPath()), content);
    QFile file(iniPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.fileTime(QFileDevice::FileModificationTime), longAgo);
}

void TestHallOfFameFile::load_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");

    const QStringList d = HallOfFameLines::defaultLines();
    const QString e_acute = QString::fromUtf8("\u00e9");
    QTest::newRow("empty file gets the defaults") << QByteArray() << d;
    QTest::newRow("header only") << QByteArray("[Tilvane]\r\n") << d;
    QTest::newRow("missing places from the defaults")
        << QByteArray("[Own]\r\nNo1 A Time 00:00:01 Trys 5\r\n")
        << QStringList { "[Own]", "No1 A Time 00:00:01 Trys 5", d[2], d[3], d[4], d[5] };
    QTest::newRow("blank line is an empty entry")
        << QByteArray("[Tilvane]\r\n\r\nNo2 B\r\n\r\n\r\n\r\n")
        << QStringList { "[Tilvane]", "", "No2 B", "", "", "" };
    QTest::newRow("header kept as it is") << QByteArray(
        " [tilvane] ; x=1\r\n") << QStringList { " [tilvane] ; x=1", d[1], d[2], d[3], d[4], d[5] };
    QTest::newRow("LF only") << QByteArray("[T]\n1\n2\n3\n4\n5\n")
                             << QStringList { "[T]", "1", "2", "3", "4", "5" };
    QTest::newRow("lone CRs make one line") << QByteArray(
        "[T]\r1\r2\r3\r4\r5") << QStringList { "[T]\r1\r2\r3\r4\r5", d[1], d[2], d[3], d[4], d[5] };
    QTest::newRow("more than six lines") << QByteArray("0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n")
                                         << QStringList { "0", "1", "2", "3", "4", "5" };
    QTest::newRow("commas") << QByteArray("[T]\r\nNo1 Smith, Ann Time 00:00:01 Trys 5\r\n")
                            << QStringList { "[T]", "No1 Smith, Ann Time 00:00:01 Trys 5", d[2],
                                   d[3], d[4], d[5] };
    QTest::newRow("Latin-1 line") << QByteArray("[T]\r\nNo1 Jos\xe9 Time 00:00:01 Trys 5\r\n")
                                  << QStringList { "[T]",
                                         "No1 Jos" + e_acute + " Time 00:00:01 Trys 5", d[2], d[3],
                                         d[4], d[5] };
}

void TestHallOfFameFile::load()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    writeBytes(iniPath(), content);
    QCOMPARE(HallOfFameFile::load(iniPath()), expected);
    QCOMPARE(HallOfFameFile::load(iniPath(), Sharing::MachineWide), expected);
}

void TestHallOfFameFile::saveWritesSixLinesBack_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("saved");

    QTest::newRow("eight lines shrink to six") << QByteArray("[T]\n1\n2\n3\n4\n5\n6\n7\n")
                                               << QByteArray("[T]\r\n1\r\n2\r\n3\r\n4\r\n5\r\n");
    QTest::newRow("short file is filled")
        << QByteArray("[Own header]") << QByteArray("[Own header]\r\n" + DefaultContent.sliced(11));
    QTest::newRow("blank lines stay blank")
        << QByteArray("\r\n\r\n\r\n\r\n\r\n\r\n") << QByteArray("\r\n\r\n\r\n\r\n\r\n\r\n");
    QTest::newRow("lone CR stays in its line") << QByteArray(
        "[T]\r\n1\r2\r\n3\r\n4\r\n5\r\n6\r") << QByteArray("[T]\r\n1\r2\r\n3\r\n4\r\n5\r\n6\r\r\n");
    QTest::newRow("Latin-1 is saved as UTF-8")
        << QByteArray("[T]\r\nNo1 Jos\xe9 M\xfcller Time 00:00:01 Trys 5\r\n2\r\n3\r\n4\r\n5\r\n")
        << QByteArray(
               "[T]\r\nNo1 Jos\xc3\xa9 M\xc3\xbcller Time 00:00:01 Trys 5\r\n2\r\n3\r\n4\r\n5\r\n");
    QTest::newRow("UTF-8 stays UTF-8")
        << QByteArray("\xef\xbb\xbf[T]\r\nNo1 \xe2\x82\xac\r\n2\r\n3\r\n4\r\n5\r\n")
        << QByteArray("\xef\xbb\xbf[T]\r\nNo1 \xe2\x82\xac\r\n2\r\n3\r\n4\r\n5\r\n");
}

void TestHallOfFameFile::saveWritesSixLinesBack()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, saved);
    for (const bool machineWide : { false, true }) {
        writeBytes(iniPath(), content);
        const Sharing sharing = sharingOf(machineWide);
        HallOfFameFile::save(iniPath(), HallOfFameFile::load(iniPath(), sharing), sharing);
        QCOMPARE(readBytes(iniPath()), saved);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
            QStringList { "Tilvane.ini" });
    }
}

void TestHallOfFameFile::resultWithCommaSurvivesSaveAndLoad()
{
    HallOfFameFile::makeIfMissing(iniPath());
    HallOfFameRanking ranking;
    QStringList entries = HallOfFameFile::load(iniPath());
    const int place = ranking.findPlace(entries, 12);
    entries = HallOfFameRanking::entered(entries, place, "Smith, Ann \"A\"\r\nNo1", "00:01:00", 12);
    HallOfFameFile::save(iniPath(), entries);

    const QStringList loaded = HallOfFameFile::load(iniPath());
    QCOMPARE(loaded, entries);
    QCOMPARE(loaded.at(1), "No1 Smith, Ann \"A\"  No1 Time 00:01:00 Trys 12");
}

void TestHallOfFameFile::failedSaveLeavesOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("machineWide");

    QTest::newRow("private, write fails midway") << "size limit" << false;
    QTest::newRow("private, read-only file") << "read-only file" << false;
    QTest::newRow("machine-wide, write fails midway") << "size limit" << true;
    QTest::newRow("machine-wide, read-only file") << "read-only file" << true;
}

void TestHallOfFameFile::failedSaveLeavesOldFile()
{
    QFETCH(QString, how);
    QFETCH(bool, machineWide);
    const Sharing sharing = sharingOf(machineWide);
    const QByteArray old = "[T]\r\nNo1 Old Time 00:00:01 Trys 5\r\nlonger than the size limit";
    writeBytes(iniPath(), old);

    std::optional<HallOfFameError> error;
    if (how == "size limit") {
        const FileSizeLimit limit(16);
        error = errorOf(
            [&] { HallOfFameFile::save(iniPath(), HallOfFameLines::defaultLines(), sharing); });
    } else {
        // Permission bits do not stop root from writing.
        if (isRoot())
            QSKIP("Permission bits do not stop root; the size-limit rows cover this failure.");
        const QString locked = iniPath();
        const QFile::Permissions before = QFile::permissions(locked);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        QCOMPARE(HallOfFameFile::load(iniPath(), sharing).at(1), "No1 Old Time 00:00:01 Trys 5");
        error = errorOf(
            [&] { HallOfFameFile::save(iniPath(), HallOfFameLines::defaultLines(), sharing); });
        QFile::setPermissions(locked, before);
    }

    QVERIFY(error);
    QVERIFY2(
        error->message().startsWith("Cannot save the Hall of Fame file \"" + iniPath() + "\": "),
        qPrintable(error->message()));
    QVERIFY(!error->reason().isEmpty());
    QCOMPARE(readBytes(iniPath()), old);
    QCOMPARE(
        QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "Tilvane.ini" });
}

void TestHallOfFameFile::missingFolder_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("machineWide");
    QTest::addColumn<QString>("verb");

    for (const bool machineWide : { false, true }) {
        const char *sharing = machineWide ? "machine-wide" : "private";
        QTest::addRow("%s create", sharing) << int(Create) << machineWide << "create";
        QTest::addRow("%s load", sharing) << int(Load) << machineWide << "read";
        QTest::addRow("%s save", sharing) << int(Save) << machineWide << "save";
    }
}

void TestHallOfFameFile::missingFolder()
{
    QFETCH(int, operation);
    QFETCH(bool, machineWide);
    QFETCH(QString, verb);
    const QString path = pathIn("gone/Tilvane.ini");

    const auto error = errorOf([&] { run(Operation(operation), path, sharingOf(machineWide)); });
    QVERIFY(error);
    QCOMPARE(error->path(), path);
    QCOMPARE(error->message(),
        QString("Cannot %1 the Hall of Fame file \"%2\": No such file or directory")
            .arg(verb, path));
    QVERIFY(!QFileInfo::exists(pathIn("gone")));
}

void TestHallOfFameFile::notARegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("machineWide");

    for (const char *kind : { "directory", "FIFO" }) {
        for (const bool machineWide : { false, true }) {
            const char *sharing = machineWide ? "machine-wide" : "private";
            QTest::addRow("%s, %s create", kind, sharing) << kind << int(Create) << machineWide;
            QTest::addRow("%s, %s load", kind, sharing) << kind << int(Load) << machineWide;
            QTest::addRow("%s, %s save", kind, sharing) << kind << int(Save) << machineWide;
        }
    }
}

// Nothing else at the path is used, replaced or waited for.
void TestHallOfFameFile::notARegularFile()
{
    QFETCH(QString, kind);
    QFETCH(int, operation);
    QFETCH(bool, machineWide);
    const QByteArray nativePath = QFile::encodeName(iniPath());
    if (kind == "directory")
        QVERIFY(QDir().mkdir(iniPath()));
    else
        QCOMPARE(::mkfifo(nativePath.constData(), 0666), 0);
    const auto before = statusOf(iniPath());

    const auto error
        = errorOf([&] { run(Operation(operation), iniPath(), sharingOf(machineWide)); });
    QVERIFY(error);
    QVERIFY2(error->message().contains(iniPath()), qPrintable(error->message()));
    if (operation == Create || machineWide || kind == "FIFO")
        QVERIFY2(error->reason().contains("is not a regular file"), qPrintable(error->message()));
    const auto after = statusOf(iniPath());
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
}

void TestHallOfFameFile::hugeFilesLoadBounded_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<QByteArray>("tail");
    // Made this long by a hole, when not 0.
    QTest::addColumn<qint64>("sparseSize");
    QTest::addColumn<QStringList>("expected");

    const QString longLine(HallOfFameLineReader::MaxLineBytes, u'x');
    const QStringList d = HallOfFameLines::defaultLines();
    const QByteArray mebibyteOfX(1 << 20, 'x');
    QByteArray mebibyteOfLines;
    while (mebibyteOfLines.size() < (1 << 20))
        mebibyteOfLines += "No1 Line Time 00:00:00 Trys 1\r\n";

    QTest::newRow("50 MB without a line break")
        << QByteArray() << mebibyteOfX << 50 << QByteArray() << qint64(0)
        << QStringList { longLine, d[1], d[2], d[3], d[4], d[5] };
    QTest::newRow("10 MB line between short ones")
        << QByteArray("[T]\r\n") << mebibyteOfX << 10 << QByteArray("\r\nNo2 B\r\n") << qint64(0)
        << QStringList { "[T]", longLine, "No2 B", d[3], d[4], d[5] };
    QTest::newRow("50 MB of short lines")
        << QByteArray("[T]\r\n") << mebibyteOfLines << 50 << QByteArray() << qint64(0)
        << QStringList { "[T]", "No1 Line Time 00:00:00 Trys 1", "No1 Line Time 00:00:00 Trys 1",
               "No1 Line Time 00:00:00 Trys 1", "No1 Line Time 00:00:00 Trys 1",
               "No1 Line Time 00:00:00 Trys 1" };
    const QString nulLine(HallOfFameLineReader::MaxLineBytes, QChar(0));
    QTest::newRow("64 MiB hole") << QByteArray("[T]\r\n") << QByteArray() << 0 << QByteArray()
                                 << (qint64(64) << 20)
                                 << QStringList { "[T]", nulLine, d[2], d[3], d[4], d[5] };
    QTest::newRow("1 TiB hole") << QByteArray() << QByteArray() << 0 << QByteArray()
                                << (qint64(1) << 40)
                                << QStringList { nulLine, d[1], d[2], d[3], d[4], d[5] };
}

void TestHallOfFameFile::hugeFilesLoadBounded()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, block);
    QFETCH(int, blocks);
    QFETCH(QByteArray, tail);
    QFETCH(qint64, sparseSize);
    QFETCH(QStringList, expected);
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(head);
        for (int i = 0; i < blocks; ++i)
            QCOMPARE(file.write(block), block.size());
        file.write(tail);
        if (sparseSize > 0)
            QVERIFY2(file.resize(sparseSize), qPrintable(file.errorString()));
    }

    const long before = peakMemoryKiB();
    for (const bool machineWide : { false, true }) {
        const qint64 readBefore = bytesRead();
        QCOMPARE(HallOfFameFile::load(iniPath(), sharingOf(machineWide)), expected);
        // Whatever the size, the file is read no further than the limit
        // (the rest is the counter's own file).
        QCOMPARE_LE(bytesRead() - readBefore, HallOfFameLineReader::MaxFileBytes + 1024);
    }
    // Holding the file, or a line of it, would raise the peak by megabytes.
    QCOMPARE_LT(peakMemoryKiB() - before, 4 * 1024);
}

void TestHallOfFameFile::machineWideFileIsSharedByEveryone()
{
    const Umask umask(022);
    HallOfFameFile::makeIfMissing(iniPath(), Sharing::MachineWide);
    QCOMPARE(statusOf(iniPath()).st_mode & 07777, mode_t(0666));

    QVERIFY(QFile::remove(iniPath()));
    HallOfFameFile::save(iniPath(), HallOfFameLines::defaultLines(), Sharing::MachineWide);
    QCOMPARE(statusOf(iniPath()).st_mode & 07777, mode_t(0666));
    QCOMPARE(readBytes(iniPath()), DefaultContent);

    // A file system that keeps permissions but would not give these: no file
    // that only its maker may write.
    QVERIFY(QFile::remove(iniPath()));
    fchmodFails = true;
    const auto error
        = errorOf([&] { HallOfFameFile::makeIfMissing(iniPath(), Sharing::MachineWide); });
    fchmodFails = false;
    QVERIFY(error && !QFileInfo::exists(iniPath()));
}

// Where the folder allows it, the file is replaced atomically: a new file
// takes its place and keeps it shared.
void TestHallOfFameFile::machineWideSaveReplacesOwnFile()
{
    const Umask umask(022);
    HallOfFameFile::makeIfMissing(iniPath(), Sharing::MachineWide);
    const ino_t before = statusOf(iniPath()).st_ino;
    QStringList entries = HallOfFameLines::defaultLines();
    entries[1] = "No1 Ann Time 00:04:10 Trys 57";

    HallOfFameFile::save(iniPath(), entries, Sharing::MachineWide);

    const struct stat after = statusOf(iniPath());
    QVERIFY(after.st_ino != before);
    QCOMPARE(after.st_mode & 07777, mode_t(0666));
    QCOMPARE(HallOfFameFile::load(iniPath(), Sharing::MachineWide), entries);
    QCOMPARE(
        QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { "Tilvane.ini" });
}

void TestHallOfFameFile::saveKeepsOrSharesPermissions_data()
{
    QTest::addColumn<bool>("machineWide");
    // -1: no file before the save.
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("private, owner only") << false << 0600 << 0600;
    QTest::newRow("private, group reads") << false << 0640 << 0640;
    QTest::newRow("private, everyone writes") << false << 0666 << 0666;
    QTest::newRow("private, new file as the umask says") << false << -1 << 0640;
    QTest::newRow("machine-wide, owner only") << true << 0600 << 0600;
    QTest::newRow("machine-wide, group reads") << true << 0640 << 0640;
    QTest::newRow("machine-wide, new file is everyone's") << true << -1 << 0666;
}

// The file is replaced by a new one, which takes over what its owner chose
// for the old one, never more open: a private file that someone moved to
// the machine-wide path stays private. Only a new machine-wide file is open
// to every user.
void TestHallOfFameFile::saveKeepsOrSharesPermissions()
{
    QFETCH(bool, machineWide);
    QFETCH(int, before);
    QFETCH(int, after);
    const Umask umask(027);
    if (before >= 0) {
        writeBytes(iniPath(), DefaultContent);
        QCOMPARE(::chmod(QFile::encodeName(iniPath()).constData(), mode_t(before)), 0);
    }
    const ino_t old = statusOf(iniPath()).st_ino;
    umaskCalls = 0;

    HallOfFameFile::save(iniPath(), HallOfFameLines::defaultLines(), sharingOf(machineWide));

    QCOMPARE(umaskCalls, 0);
    QVERIFY(statusOf(iniPath()).st_ino != old);
    QCOMPARE(statusOf(iniPath()).st_mode & 07777, mode_t(after));
}

void TestHallOfFameFile::symbolicLinkRefused_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("dangling");
    QTest::addColumn<bool>("machineWide");
    // What the message says the game attempted.
    QTest::addColumn<QString>("verb");

    for (const bool machineWide : { false, true }) {
        const char *sharing = machineWide ? "machine-wide" : "private";
        for (const bool dangling : { false, true }) {
            const char *link = dangling ? "dangling link" : "link to a file";
            QTest::addRow("%s, %s, start", sharing, link)
                << int(Create) << dangling << machineWide << "use";
            QTest::addRow("%s, %s, load", sharing, link)
                << int(Load) << dangling << machineWide << "read";
            QTest::addRow("%s, %s, save", sharing, link)
                << int(Save) << dangling << machineWide << "save";
        }
    }
}

// Whoever can write into the folder could point the file at any file of
// the player's.
void TestHallOfFameFile::symbolicLinkRefused()
{
    QFETCH(int, operation);
    QFETCH(bool, dangling);
    QFETCH(bool, machineWide);
    QFETCH(QString, verb);
    const QString target = pathIn("victim");
    const QByteArray content = "precious\n";
    if (!dangling) {
        writeBytes(target, content);
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner));
    }
    QVERIFY(QFile::link(target, iniPath()));

    const auto error
        = errorOf([&] { run(Operation(operation), iniPath(), sharingOf(machineWide)); });

    QVERIFY(error);
    QCOMPARE(error->message(),
        QString("Cannot %1 the Hall of Fame file \"%2\": the path is a symbolic link")
            .arg(verb, iniPath()));
    QVERIFY(QFileInfo(iniPath()).isSymLink());
    if (dangling) {
        QVERIFY(!QFileInfo::exists(target));
    } else {
        QCOMPARE(readBytes(target), content);
        QCOMPARE(statusOf(target).st_mode & 07777, mode_t(0600));
    }
}

void TestHallOfFameFile::hardLink_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("machineWide");

    for (const bool machineWide : { false, true }) {
        const char *sharing = machineWide ? "machine-wide" : "private";
        QTest::addRow("%s, create", sharing) << int(Create) << machineWide;
        QTest::addRow("%s, load", sharing) << int(Load) << machineWide;
        QTest::addRow("%s, save", sharing) << int(Save) << machineWide;
    }
}

// Anyone may give the machine-wide file a second name. It is read as it is,
// and a save gives the path a new file, leaving the other name the old one.
void TestHallOfFameFile::hardLink()
{
    QFETCH(int, operation);
    QFETCH(bool, machineWide);
    const QString other = pathIn("other");
    const QByteArray content = "[Other]\r\nNo1 Other Time 00:00:01 Trys 1\r\n";
    writeBytes(other, content);
    QVERIFY(QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(
        ::link(QFile::encodeName(other).constData(), QFile::encodeName(iniPath()).constData()), 0);

    const auto error
        = errorOf([&] { run(Operation(operation), iniPath(), sharingOf(machineWide)); });

    QVERIFY2(!error, error ? qPrintable(error->message()) : "");
    if (operation == Load)
        QCOMPARE(HallOfFameFile::load(iniPath(), sharingOf(machineWide)).at(1),
            "No1 Other Time 00:00:01 Trys 1");
    QCOMPARE(readBytes(iniPath()), operation == Save ? DefaultContent : content);
    QCOMPARE(readBytes(other), content);
    QCOMPARE(statusOf(other).st_mode & 07777, mode_t(0600));
}

void TestHallOfFameFile::rewriteInPlace_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("replacement");
    QTest::addColumn<bool>("othersWithSecondName");

    QTest::newRow("shorter") << DefaultContent << QByteArray("[T]\r\n") << false;
    QTest::newRow("longer") << QByteArray("[T]\r\n") << DefaultContent << false;
    QTest::newRow("same length") << QByteArray("abc\r\n") << QByteArray("xyz\r\n") << false;
    QTest::newRow("from empty") << QByteArray() << DefaultContent << false;
    QTest::newRow("another user's file with a second name")
        << QByteArray("[T]\r\n") << DefaultContent << true;
}

// Another user's file that the player may write was shared on purpose, with
// whatever names it has: nobody stops a save by adding one.
void TestHallOfFameFile::rewriteInPlace()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, replacement);
    QFETCH(bool, othersWithSecondName);
    writeBytes(iniPath(), content);
    QVERIFY(
        QFile::setPermissions(iniPath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QByteArray secondName = QFile::encodeName(pathIn("second"));
    if (othersWithSecondName) {
        if (!isRoot())
            QSKIP("Needs root to give the file to another user.");
        QCOMPARE(::chown(QFile::encodeName(iniPath()).constData(), 65534, 65534), 0);
        QCOMPARE(::link(QFile::encodeName(iniPath()).constData(), secondName.constData()), 0);
    }
    const struct stat before = statusOf(iniPath());

    const auto error = errorOf([&] { HallOfFameDisk::rewriteInPlace(iniPath(), replacement, {}); });

    QVERIFY2(!error, error ? qPrintable(error->message()) : "");
    const struct stat after = statusOf(iniPath());
    QCOMPARE(readBytes(iniPath()), replacement);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    if (othersWithSecondName)
        QCOMPARE(readBytes(QFile::decodeName(secondName)), replacement);
}

void TestHallOfFameFile::rewriteInPlaceRefuses_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("missing file") << "missing"
                                  << "No such file or directory";
    QTest::newRow("link to a file") << "link"
                                    << "is a symbolic link";
    QTest::newRow("dangling link") << "dangling"
                                   << "is a symbolic link";
    QTest::newRow("directory") << "directory"
                               << "is not a regular file";
    QTest::newRow("FIFO") << "fifo"
                          << "is not a regular file";
    QTest::newRow("player's own file with a second name") << "hard link"
                                                          << "more than one name";
}

void TestHallOfFameFile::rewriteInPlaceRefuses()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString target = pathIn("victim");
    if (kind == "link") {
        writeBytes(target, "precious\n");
        QVERIFY(QFile::link(target, iniPath()));
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(target, iniPath()));
    } else if (kind == "directory") {
        QVERIFY(QDir().mkdir(iniPath()));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(iniPath()).constData(), 0666), 0);
    } else if (kind == "hard link") {
        writeBytes(target, "precious\n");
        QVERIFY(
            ::link(QFile::encodeName(target).constData(), QFile::encodeName(iniPath()).constData())
            == 0);
    }

    const auto error
        = errorOf([&] { HallOfFameDisk::rewriteInPlace(iniPath(), DefaultContent, {}); });

    QVERIFY(error);
    QVERIFY2(error->reason().contains(reason), qPrintable(error->message()));
    QVERIFY(error->message().startsWith("Cannot save the Hall of Fame file \"" + iniPath()));
    if (kind == "missing")
        QVERIFY(!QFileInfo::exists(iniPath()));
    if (kind == "link" || kind == "hard link")
        QCOMPARE(readBytes(target), "precious\n");
    if (kind == "dangling")
        QVERIFY(!QFileInfo::exists(target));
}

void TestHallOfFameFile::machineWideSaveOfAnotherUsersFileInStickyFolder_data()
{
    QTest::addColumn<bool>("secondName");
    QTest::newRow("one name") << false;
    QTest::newRow("a second name") << true;
}

// Another user's file in a sticky world-writable folder cannot be replaced,
// only rewritten, whatever names it has; that user needs root to be played.
void TestHallOfFameFile::machineWideSaveOfAnotherUsersFileInStickyFolder()
{
    QFETCH(bool, secondName);
    if (!isRoot())
        QSKIP("Needs root to act as another user.");
    QVERIFY(QFile::setPermissions(m_dir->path(),
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
            | QFile::ExeOther));
    const QString shared = pathIn("shared");
    QVERIFY(QDir().mkdir(shared));
    QCOMPARE(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString path = shared + "/Tilvane.ini";
    {
        const Umask umask(022);
        HallOfFameFile::makeIfMissing(path, Sharing::MachineWide);
    }
    if (secondName)
        QCOMPARE(::link(QFile::encodeName(path).constData(),
                     QFile::encodeName(shared + "/second").constData()),
            0);
    const struct stat before = statusOf(path);
    QStringList entries = HallOfFameLines::defaultLines();
    entries[1] = "No1 Nobody Time 00:00:09 Trys 9";

    const int status
        = exitStatusAs(Nobody, [&] { HallOfFameFile::save(path, entries, Sharing::MachineWide); });
    if (status == 3)
        QSKIP("Cannot switch to another user here.");
    QCOMPARE(status, 0);

    const struct stat after = statusOf(path);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_uid, uid_t(0));
    QCOMPARE(after.st_mode & 07777, mode_t(0666));
    QCOMPARE(readBytes(path), HallOfFameLines::formatLines(entries));
    const QStringList names
        = secondName ? QStringList { "second", "Tilvane.ini" } : QStringList { "Tilvane.ini" };
    QCOMPARE(QDir(shared).entryList(QDir::Files | QDir::Hidden), names);
}

void TestHallOfFameFile::saveKeepsWhatTheFileHas_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("machineWide");
    // Whether a new file took the old one's place.
    QTest::addColumn<bool>("replaced");
    QTest::newRow("read-only folder, private") << "read-only folder" << false << false;
    QTest::newRow("read-only folder, machine-wide") << "read-only folder" << true << false;
    QTest::newRow("group member in the group's folder") << "group member" << false << false;
    QTest::newRow("user an ACL lets write") << "ACL user" << false << false;
    QTest::newRow("owner of a file with an ACL") << "ACL owner" << false << true;
    QTest::newRow("owner of the group's file") << "group owner" << false << true;
    QTest::newRow("owner of a file with a root-only attribute") << "attribute" << false << false;
    QTest::newRow("root over a player's file") << "root" << true << false;
    QTest::newRow("full file system") << "full" << true << false;
    QTest::newRow("permissions the new file cannot get") << "fchmod fails" << false << false;
}

// A save replaces the file only when the new one has all that the old one
// had: owner, group, permissions and ACL. Otherwise, and where the folder or
// the disk has no room for a new file, the file is rewritten in place; its
// owner reads it afterwards as before. Played by Ann, Bob and Cid (as root;
// without root only the read-only folder, played by this user).
void TestHallOfFameFile::saveKeepsWhatTheFileHas()
{
    QFETCH(QString, how);
    QFETCH(bool, machineWide);
    QFETCH(bool, replaced);
    if (!isRoot() && how != "read-only folder")
        QSKIP("Needs root to play several users and to mount a file system.");
    const QString folder = pathIn("shared");
    QVERIFY(QDir().mkdir(folder));
    const QByteArray nativeFolder = QFile::encodeName(folder);
    const auto unmount = qScopeGuard([&] { ::umount2(nativeFolder.constData(), MNT_DETACH); });
    if (how == "full")
        QCOMPARE(::mount("tmpfs", nativeFolder.constData(), "tmpfs", 0, "size=64k"), 0);
    const QString path = folder + "/Tilvane.ini";
    const QByteArray nativePath = QFile::encodeName(path);
    writeBytes(path, DefaultContent);
    // Root, without root, stands for this user.
    const User owner = isRoot() ? Ann : Root;
    const User saver = how == "group member" ? Bob
        : how == "ACL user"                  ? Cid
        : how == "root"                      ? Root
                                             : owner;
    QCOMPARE(::chmod(nativePath.constData(), how == "group member" ? 0660 : 0640), 0);
    if (isRoot()) {
        QCOMPARE(::chown(nativePath.constData(), owner.uid, Players), 0);
        QCOMPARE(::chown(nativeFolder.constData(), 0, Players), 0);
    }
    QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755), 0);
    QCOMPARE(::chmod(nativeFolder.constData(), how == "read-only folder" ? 0555 : 0775), 0);
    if (how.startsWith("ACL")) {
        const int status = QProcess::execute("setfacl", { "-m", "u:4003:rw", path });
        if (status != 0)
            QSKIP("setfacl is missing (scripts/setup installs it) or ACLs are not kept here.");
    }
    if (how == "attribute")
        QCOMPARE(::setxattr(nativePath.constData(), "security.tilvane", "x", 1, 0), 0);
    // As any user can fill the machine-wide folder's file system.
    QFile filler(folder + "/filler");
    if (how == "full" && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        while (filler.write(QByteArray(4096, 'f')) == 4096) { }
    }
    const struct stat before = statusOf(path);
    const QByteArray acl = aclOf(path);
    QStringList entries = HallOfFameLines::defaultLines();
    entries[3] = "No 3Cy Time 00:00:03 Trys 3";

    fchmodFails = how == "fchmod fails";
    const int status
        = exitStatusAs(saver, [&] { HallOfFameFile::save(path, entries, sharingOf(machineWide)); });
    fchmodFails = false;

    QCOMPARE(::chmod(nativeFolder.constData(), 0775), 0);
    if (status == 3)
        QSKIP("Cannot switch to another user here.");
    QCOMPARE(status, 0);
    const struct stat after = statusOf(path);
    QCOMPARE(after.st_ino != before.st_ino, replaced);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(aclOf(path), acl);
    char attribute = 0;
    QCOMPARE(::getxattr(nativePath.constData(), "security.tilvane", &attribute, 1) == 1,
        how == "attribute");
    QCOMPARE(readBytes(path), HallOfFameLines::formatLines(entries));
    QCOMPARE(exitStatusAs(owner, [&] { HallOfFameFile::load(path, sharingOf(machineWide)); }), 0);
    QCOMPARE(QDir(folder).entryList({ "Tilvane.ini.*" }, QDir::Files | QDir::Hidden), {});
}

// Someone moves the file away while a save meets a folder that refuses the
// new file: the results must not go to the moved file as if all were well.
void TestHallOfFameFile::inPlaceSaveOfFileMovedAwayFails()
{
    writeBytes(iniPath(), DefaultContent);
    const QByteArray away = QFile::encodeName(pathIn("moved away"));
    const QByteArray newcomer = "[Newcomer]\r\n";
    beforeRename = [&](const char *, const char *to) {
        if (::renameat(AT_FDCWD, to, AT_FDCWD, away.constData()) != 0)
            return -1;
        writeBytes(QFile::decodeName(to), newcomer);
        // As a sticky folder says of another user's file.
        errno = EPERM;
        return -1;
    };
    QStringList entries = HallOfFameLines::defaultLines();
    entries[1] = "No1 Lost Time 00:00:01 Trys 1";

    const auto error = errorOf([&] { HallOfFameFile::save(iniPath(), entries); });

    QVERIFY(!beforeRename);
    QVERIFY(error);
    QVERIFY2(error->reason().contains("moved away or replaced"), qPrintable(error->message()));
    QCOMPARE(readBytes(QFile::decodeName(away)), DefaultContent);
    QCOMPARE(readBytes(iniPath()), newcomer);
}

void TestHallOfFameFile::leftoverNames_data()
{
    QTest::addColumn<QString>("planted");
    QTest::addColumn<bool>("removed");
    QTest::newRow("killed save's file") << "file" << true;
    QTest::newRow("file of a save still running") << "locked" << false;
    QTest::newRow("every name another user's folder") << "folders" << false;
}

// The names a save gives its new file until it is whole: a killed save
// leaves one, the next save removes it by name, in a folder the player may
// not list (run as another user). What it cannot remove never stops a save.
void TestHallOfFameFile::leftoverNames()
{
    QFETCH(QString, planted);
    QFETCH(bool, removed);
    writeBytes(iniPath(), DefaultContent);
    QCOMPARE(::chmod(QFile::encodeName(iniPath()).constData(), 0666), 0);
    // The player's own file, which a save replaces.
    if (isRoot())
        QCOMPARE(::chown(QFile::encodeName(iniPath()).constData(), 65534, 65534), 0);
    QStringList names;
    for (int number = 1; number <= (planted == "folders" ? 8 : 1); ++number)
        names.append(QString("Tilvane.ini.saving%1").arg(number));
    QFile held(pathIn(names[0]));
    if (planted == "folders") {
        for (const QString &name : names)
            QVERIFY(QDir(m_dir->path()).mkdir(name));
    } else {
        QVERIFY(held.open(QIODevice::WriteOnly));
        if (isRoot())
            QCOMPARE(::fchown(held.handle(), 65534, 65534), 0);
        if (planted == "locked")
            QCOMPARE(::flock(held.handle(), LOCK_EX), 0);
        else
            held.close();
    }
    QStringList entries = HallOfFameLines::defaultLines();
    entries[2] = "No2 Next Time 00:00:02 Trys 2";

    QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 01733), 0);
    const int status = exitStatusAs(Nobody, [&] { HallOfFameFile::save(iniPath(), entries); });
    QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0700), 0);
    if (status == 3)
        QSKIP("Cannot switch to another user here.");
    QCOMPARE(status, 0);
    QCOMPARE(readBytes(iniPath()), HallOfFameLines::formatLines(entries));
    QStringList expected = removed ? QStringList() : names;
    expected.prepend("Tilvane.ini");
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), expected);
}

void TestHallOfFameFile::lockedFileIsWaitedFor_data()
{
    QTest::addColumn<bool>("load");
    QTest::newRow("load") << true;
    QTest::newRow("rewrite in place") << false;
}

// While one player rewrites the file in place, locked, another one's load
// or rewrite waits for it: neither sees nor leaves a torn file.
void TestHallOfFameFile::lockedFileIsWaitedFor()
{
    QFETCH(bool, load);
    // Each shorter than the one before: only the cut makes the file whole.
    const QByteArray old = DefaultContent;
    const QByteArray mineBytes = "[Tilvane]\r\nNo1 Mine Time 00:00:01 Trys 1";
    const QByteArray theirsBytes = "[T]\r\nNo1 X\r\n";
    writeBytes(iniPath(), old);
    QFile file(iniPath());
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(::flock(file.handle(), LOCK_EX), 0);
    // Halfway: written, not yet cut.
    QCOMPARE(file.write(mineBytes), mineBytes.size());
    QVERIFY(file.flush());

    int channel[2];
    QCOMPARE(::pipe(channel), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(channel[0]);
        try {
            QByteArray report = "done";
            if (load)
                report = HallOfFameFile::load(iniPath()).join('\n').toUtf8();
            else
                HallOfFameDisk::rewriteInPlace(iniPath(), theirsBytes, {});
            ::write(channel[1], report.constData(), size_t(report.size()));
        } catch (const HallOfFameError &error) {
            ::fprintf(stderr, "%s\n", error.what());
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    // Room for the other player to run into the lock.
    ::usleep(200 * 1000);
    QVERIFY(file.resize(mineBytes.size()));
    QCOMPARE(::flock(file.handle(), LOCK_UN), 0);
    file.close();
    QFile report;
    QVERIFY(report.open(channel[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QByteArray reported = report.readAll();
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);

    if (load) {
        QCOMPARE(QString::fromUtf8(reported).split('\n'),
            HallOfFameLines::withDefaults(HallOfFameLines::parseLines(mineBytes)));
    } else {
        QCOMPARE(reported, "done");
        QCOMPARE(readBytes(iniPath()), theirsBytes);
    }
}

void TestHallOfFameFile::waitsForOthersAreBounded_data()
{
    QTest::addColumn<QString>("holder");
    // Whether the holder lets go when the file code asks for the file.
    QTest::addColumn<bool>("letsGo");
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("done");
    QTest::newRow("lock held for good, start") << "lock" << false << int(Load) << true;
    QTest::newRow("lock held for good, save") << "lock" << false << int(Save) << true;
    QTest::newRow("lock held for good, save in place") << "lock" << false << int(Save) << true;
    QTest::newRow("read lease given up, save") << "read lease" << true << int(Save) << true;
    QTest::newRow("write lease given up, start") << "write lease" << true << int(Load) << true;
    QTest::newRow("read lease held for good, save") << "read lease" << false << int(Save) << false;
}

// Any user can lock the machine-wide file, and a program such as a file
// server can hold a lease on it: a start or a save waits for them, about 5 s
// at the most in all, then goes on or gives up. A lease holder is a process
// of its own, told by SIGIO that the file is wanted.
void TestHallOfFameFile::waitsForOthersAreBounded()
{
    QFETCH(QString, holder);
    QFETCH(bool, letsGo);
    QFETCH(int, operation);
    QFETCH(bool, done);
    HallOfFameFile::makeIfMissing(iniPath(), Sharing::MachineWide);
    const QByteArray nativePath = QFile::encodeName(iniPath());
    QFile locker(iniPath());
    int channel[2];
    QCOMPARE(::pipe(channel), 0);
    const pid_t child = holder == "lock" ? -1 : ::fork();
    if (child == 0) {
        const bool write = holder == "write lease";
        sigset_t wanted;
        sigemptyset(&wanted);
        sigaddset(&wanted, SIGIO);
        sigprocmask(SIG_BLOCK, &wanted, nullptr);
        const int fd = ::open(nativePath.constData(), write ? O_RDWR : O_RDONLY);
        const char taken = ::fcntl(fd, F_SETLEASE, write ? F_WRLCK : F_RDLCK) == 0;
        ::write(channel[1], &taken, 1);
        int signal = 0;
        sigwait(&wanted, &signal);
        if (letsGo) {
            ::usleep(200 * 1000);
            ::fcntl(fd, F_SETLEASE, F_UNLCK);
        }
        ::pause();
    }
    const auto endHolder = qScopeGuard([&] {
        ::close(channel[0]);
        ::close(channel[1]);
        if (child > 0 && ::kill(child, SIGKILL) == 0)
            ::waitpid(child, nullptr, 0);
    });
    char taken = 1;
    if (child > 0 && (::read(channel[0], &taken, 1) != 1 || !taken))
        QSKIP("This system gives no leases.");
    if (child < 0)
        QVERIFY(locker.open(QIODevice::ReadOnly) && ::flock(locker.handle(), LOCK_EX) == 0);
    sleptMicroseconds = 0;
    fchmodFails = QByteArray(QTest::currentDataTag()).endsWith("in place");

    const auto error = errorOf([&] {
        if (operation == Load)
            HallOfFameFile::makeIfMissing(iniPath(), Sharing::MachineWide);
        run(Operation(operation), iniPath(), Sharing::MachineWide);
    });
    fchmodFails = false;

    QVERIFY2(!error == done, error ? qPrintable(error->message()) : "done");
    if (error)
        QVERIFY2(error->reason().contains("temporarily unavailable"), qPrintable(error->message()));
    QCOMPARE(readBytes(iniPath()), DefaultContent);
    QCOMPARE_GT(sleptMicroseconds, 0);
    QCOMPARE_LE(sleptMicroseconds, 5010 * 1000);
}

QTEST_GUILESS_MAIN(TestHallOfFameFile)
#include "tst_halloffamefile.moc"
