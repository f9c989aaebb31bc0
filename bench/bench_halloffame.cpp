// SPDX-License-Identifier: MIT
// Loading, saving and ranking the Hall of Fame, on the default file, on
// 50 MiB of junk, on a 1 TiB hole, on another user's file, among 200,000
// planted names and on USB stick images, through the window's procedures.
#include "benchmain.h"
#include "editions.h"
#include "form1.h"
#include "halloffameerror.h"
#include "halloffamefile.h"
#include "halloffamelinereader.h"
#include "halloffamelines.h"
#include "halloffameranking.h"
#include "scriptedplatform.h"
#include "stickimage.h"

#include <benchmark/benchmark.h>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <unistd.h>

namespace
{

constexpr qsizetype kJunkBytes = 50 * 1024 * 1024;
// Longer than the longest line the reader keeps.
constexpr quint32 kLongestJunkLine = 3 * 4096;
// How many names of its own a save tries for its new file.
constexpr int kSaveNames = 8;

enum class FileKind {
    Default,
    // One line of 50 MiB: no line ever ends, so the whole file is read.
    JunkLine,
    // 50 MiB of random lines, some longer than a line may be, ended by LF or CR LF.
    JunkLines,
    // 1 TiB of nothing, as any user can leave at the machine-wide path.
    Hole,
};

QByteArray randomBytes(QRandomGenerator &random, qsizetype size)
{
    QList<quint32> words((size + 3) / 4);
    random.fillRange(words.data(), words.size());
    QByteArray bytes(reinterpret_cast<const char *>(words.constData()), size);
    bytes.replace('\n', '\r');
    return bytes;
}

QByteArray junkLines(QRandomGenerator &random)
{
    QByteArray content;
    content.reserve(kJunkBytes + kLongestJunkLine);
    while (content.size() < kJunkBytes) {
        content += randomBytes(random, random.bounded(kLongestJunkLine));
        content += random.bounded(2) ? "\r\n" : "\n";
    }
    content.truncate(kJunkBytes);
    return content;
}

// The files, written once per run in a temporary folder.
class Files
{
public:
    Files()
    {
        HallOfFameFile::makeIfMissing(path(FileKind::Default));
        QRandomGenerator random(0x7117a2e);
        write(FileKind::JunkLine, randomBytes(random, kJunkBytes));
        write(FileKind::JunkLines, junkLines(random));
        QFile hole(path(FileKind::Hole));
        if (!hole.open(QIODevice::WriteOnly) || !hole.resize(qint64(1) << 40))
            qFatal("cannot write %s", qPrintable(hole.fileName()));
    }

    QString path(FileKind kind) const
    {
        switch (kind) {
        case FileKind::Default:
            return m_dir.filePath(QStringLiteral("default.ini"));
        case FileKind::JunkLine:
            return m_dir.filePath(QStringLiteral("junk-line.ini"));
        case FileKind::Hole:
            return m_dir.filePath(QStringLiteral("hole.ini"));
        case FileKind::JunkLines:
            break;
        }
        return m_dir.filePath(QStringLiteral("junk-lines.ini"));
    }
    QString folder(const QString &name) const
    {
        const QString path = m_dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }

private:
    void write(FileKind kind, const QByteArray &content)
    {
        QFile file(path(kind));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
    }

    QTemporaryDir m_dir;
};

const Files &files()
{
    static const Files instance;
    return instance;
}

// A window of an edition that keeps a Hall of Fame, with its own program
// folder and system drive, its list holding the default entries.
struct HallOfFameBoard {
    ScriptedPlatform platform;
    std::unique_ptr<Form1> form;

    explicit HallOfFameBoard(const EditionProfile &profile)
    {
        const QString name = QString::fromLatin1(profile.deliverable);
        platform.folder = files().folder(name + QStringLiteral("-program"));
        const QString drive = files().folder(name + QStringLiteral("-drive"));
        QDir(drive).mkpath(QStringLiteral("var/tmp"));
        platform.environment.insert(QStringLiteral("SystemDrive"), drive);
        form = std::make_unique<Form1>(profile, platform);
        form->hallOfFamePath = files().path(FileKind::Default);
        form->LoadIniFile();
    }

    void restoreDefaults()
    {
        form->List1->clear();
        form->List1->addItems(HallOfFameLines::defaultLines());
        platform.prompts.clear();
        platform.typed = QStringList { QStringLiteral("Ada") };
    }
};

qint64 sizeOf(FileKind kind)
{
    return QFile(files().path(kind)).size();
}

void BM_LoadIniFile(benchmark::State &state, const EditionProfile *profile, FileKind kind)
{
    HallOfFameBoard board(*profile);
    board.form->hallOfFamePath = files().path(kind);
    try {
        for (auto _ : state)
            board.form->LoadIniFile();
    } catch (const HallOfFameError &error) {
        state.SkipWithError(error.what());
    }
    // Only a file without line ends is read to its end, or to the limit.
    if (kind == FileKind::JunkLine || kind == FileKind::Hole) {
        state.SetBytesProcessed(
            state.iterations() * qMin(sizeOf(kind), qint64(HallOfFameLineReader::MaxFileBytes)));
    }
}
BENCHMARK_CAPTURE(BM_LoadIniFile, v31_default, &kEdition31, FileKind::Default)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadIniFile, v3_default, &kEdition3, FileKind::Default)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadIniFile, v31_junk_line_50MiB, &kEdition31, FileKind::JunkLine)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LoadIniFile, v31_junk_lines_50MiB, &kEdition31, FileKind::JunkLines)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LoadIniFile, v3_hole_1TiB, &kEdition3, FileKind::Hole)
    ->Unit(benchmark::kMillisecond);

// Each save replaces a file that is a fresh hard link to the kind's file,
// so the 50 MiB are written once and the save still meets them at its path.
void BM_SaveIniFile(benchmark::State &state, const EditionProfile *profile, FileKind kind)
{
    HallOfFameBoard board(*profile);
    const std::filesystem::path source = files().path(kind).toStdString();
    try {
        board.form->SaveIniFile();
        const std::filesystem::path target = board.form->hallOfFamePath.toStdString();
        for (auto _ : state) {
            state.PauseTiming();
            std::filesystem::remove(target);
            std::filesystem::create_hard_link(source, target);
            state.ResumeTiming();
            board.form->SaveIniFile();
        }
    } catch (const HallOfFameError &error) {
        state.SkipWithError(error.what());
    } catch (const std::filesystem::filesystem_error &error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK_CAPTURE(BM_SaveIniFile, v31_default, &kEdition31, FileKind::Default)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SaveIniFile, v3_default, &kEdition3, FileKind::Default)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SaveIniFile, v31_junk_line_50MiB, &kEdition31, FileKind::JunkLine)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SaveIniFile, v31_junk_lines_50MiB, &kEdition31, FileKind::JunkLines)
    ->Unit(benchmark::kMicrosecond);

// Edition 3's machine-wide file when it is another user's, which a save
// rewrites in place (as root only, who can give the file away); compare with
// v3_default above, a save that replaces the player's own file.
void BM_SaveIniFile_othersFile(benchmark::State &state)
{
    HallOfFameBoard board(kEdition3);
    try {
        board.form->SaveIniFile();
        if (::chown(QFile::encodeName(board.form->hallOfFamePath).constData(), 65534, 65534) != 0) {
            state.SkipWithError("giving the file to another user needs root");
            return;
        }
        for (auto _ : state)
            board.form->SaveIniFile();
    } catch (const HallOfFameError &error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK(BM_SaveIniFile_othersFile)->Unit(benchmark::kMicrosecond);

// Names that look like what a killed save leaves behind, planted by another
// user where every user writes: symbolic links, which no save follows or
// removes, so every save meets them all. They hold the names a save may pick
// itself, and then random ones; `count` 0 plants nothing.
QString plantedDrive(int count)
{
    const QString drive = files().folder(QStringLiteral("planted-%1").arg(count));
    const QString folder = drive + QStringLiteral("/var/tmp");
    if (QFileInfo::exists(folder))
        return drive;
    QDir().mkpath(folder);
    const QByteArray prefix = QFile::encodeName(folder) + "/Tilvane.ini.";
    QRandomGenerator random(count);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = i < kSaveNames
            ? prefix + "saving" + QByteArray::number(i + 1)
            : prefix + QByteArray::number(random.generate64(), 36).rightJustified(13, '0');
        if (::symlink("nowhere", name.constData()) != 0 && errno != EEXIST)
            qFatal("cannot plant %s", name.constData());
    }
    return drive;
}

// The save of edition 3 with nothing planted and with 200,000 names: the
// two figures are compared within one run.
void BM_SaveIniFile_plantedNames(benchmark::State &state)
{
    HallOfFameBoard board(kEdition3);
    board.platform.environment.insert(
        QStringLiteral("SystemDrive"), plantedDrive(int(state.range(0))));
    try {
        for (auto _ : state)
            board.form->SaveIniFile();
    } catch (const HallOfFameError &error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK(BM_SaveIniFile_plantedNames)
    ->Arg(0)
    ->Arg(200000)
    ->ArgName("names")
    ->Unit(benchmark::kMillisecond);

// Edition 3.1 copied onto a USB stick: the Hall-of-Fame part of its start
// (the file found and read) and its save, on a FAT or exFAT image mounted
// for the run (as root only).
void BM_Stick(benchmark::State &state, const char *fileSystem, bool start)
{
    const StickImage stick(QString::fromLatin1(fileSystem));
    if (!stick.isMounted()) {
        state.SkipWithError(stick.whyNot().toStdString().c_str());
        return;
    }
    HallOfFameBoard board(kEdition31);
    board.platform.folder = stick.path();
    try {
        board.form->SaveIniFile();
        for (auto _ : state) {
            if (start) {
                board.form->CheckFileExistsMake();
                board.form->LoadIniFile();
            } else {
                board.form->SaveIniFile();
            }
        }
    } catch (const HallOfFameError &error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK_CAPTURE(BM_Stick, vfat_start, "vfat", true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stick, vfat_save, "vfat", false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stick, exfat_start, "exfat", true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Stick, exfat_save, "exfat", false)->Unit(benchmark::kMicrosecond);

// A result that takes the first place: the ranking, the (scripted) name
// prompt and the new entries in the list. The defaults return before each.
void BM_CheckHigherScore_firstPlace(benchmark::State &state)
{
    HallOfFameBoard board(kEdition31);
    board.form->gameState.clickCount = 60;
    for (auto _ : state) {
        state.PauseTiming();
        board.restoreDefaults();
        state.ResumeTiming();
        board.form->CheckHigherScore();
    }
}
BENCHMARK(BM_CheckHigherScore_firstPlace)->Unit(benchmark::kMicrosecond);

void BM_CheckHigherScore_noPlace(benchmark::State &state)
{
    HallOfFameBoard board(kEdition31);
    board.form->gameState.clickCount = 1000;
    for (auto _ : state)
        board.form->CheckHigherScore();
}
BENCHMARK(BM_CheckHigherScore_noPlace)->Unit(benchmark::kMicrosecond);

void BM_Ranking_findPlace(benchmark::State &state)
{
    const QStringList entries = HallOfFameLines::defaultLines();
    HallOfFameRanking ranking;
    for (auto _ : state)
        benchmark::DoNotOptimize(ranking.findPlace(entries, 60));
}
BENCHMARK(BM_Ranking_findPlace);

void BM_Ranking_entered(benchmark::State &state)
{
    const QStringList entries = HallOfFameLines::defaultLines();
    for (auto _ : state)
        benchmark::DoNotOptimize(HallOfFameRanking::entered(
            entries, 1, QStringLiteral("Ada"), QStringLiteral("00:01:07"), 60));
}
BENCHMARK(BM_Ranking_entered);

} // namespace

int main(int argc, char *argv[])
{
    return runBenchmarks(argc, argv);
}
