// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the Hall-of-Fame reader, enters a result and
// checks what every player relies on: six entries always, the header never
// touched by the ranking, and a saved file that loads back as it was saved.
#include "halloffamefile.h"
#include "halloffamelines.h"
#include "halloffameranking.h"

#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <QDir>
#include <QTemporaryDir>

namespace
{

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// In memory where the machine has it: every save syncs the file to disk.
const QTemporaryDir &scratch()
{
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
            ? QStringLiteral("/dev/shm/tilvane-fuzz-XXXXXX")
            : QDir::tempPath() + QStringLiteral("/tilvane-fuzz-XXXXXX"));
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const double tries = input.ConsumeIntegralInRange<int>(0, 1200);
    const std::string name = input.ConsumeRandomLengthString(80);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const QStringList parsed
        = HallOfFameLines::parseLines(QByteArrayView(content.data(), qsizetype(content.size())));
    require(parsed.size() <= HallOfFameLines::EntryCount, "at most six lines are kept");
    const QStringList loaded = HallOfFameLines::withDefaults(parsed);
    require(loaded.size() == HallOfFameLines::EntryCount, "six entries after loading");

    HallOfFameRanking ranking;
    const int place = ranking.findPlace(loaded, tries);
    require(place >= 0 && place <= 5, "a place is 0 to 5");
    const QStringList entered = HallOfFameRanking::entered(loaded, place,
        QString::fromUtf8(name.data(), qsizetype(name.size())), QStringLiteral("00:01:02"), tries);
    require(entered.size() == HallOfFameLines::EntryCount, "six entries after a result");
    require(entered.first() == loaded.first(), "the header is never touched");
    if (place == 0)
        require(entered == loaded, "no place, no change");

    // What is saved loads back identically, through real files.
    const QString path = scratch().filePath(QStringLiteral("Tilvane.ini"));
    HallOfFameFile::save(path, entered);
    const QStringList reread = HallOfFameFile::load(path);
    require(reread.size() == HallOfFameLines::EntryCount, "six entries read back");
    HallOfFameFile::save(path, reread);
    require(HallOfFameFile::load(path) == reread, "a saved file loads back as it was saved");
    require(HallOfFameLines::parseLines(HallOfFameLines::formatLines(reread)) == reread,
        "formatted lines parse back");
    return 0;
}
