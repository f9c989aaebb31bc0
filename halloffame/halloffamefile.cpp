// SPDX-License-Identifier: MIT
#include "halloffamefile.h"

#include "halloffamedisk.h"
#include "halloffamelines.h"

namespace HallOfFameFile
{
namespace
{

HallOfFameDisk::Rules rulesOf(Sharing sharing)
{
    return { .everyoneWrites = sharing == Sharing::MachineWide };
}

} // namespace

void makeIfMissing(const QString &path, Sharing sharing)
{
    const HallOfFameDisk::Rules rules = rulesOf(sharing);
    if (!HallOfFameDisk::exists(path, rules, HallOfFameError::Action::Use))
        HallOfFameDisk::create(
            path, HallOfFameLines::formatLines(HallOfFameLines::defaultLines()), rules);
}

QStringList load(const QString &path, Sharing sharing)
{
    return HallOfFameLines::withDefaults(HallOfFameDisk::readLines(path, rulesOf(sharing)));
}

void save(const QString &path, const QStringList &entries, Sharing sharing)
{
    HallOfFameDisk::replace(path,
        HallOfFameLines::formatLines(HallOfFameLines::withDefaults(entries)), rulesOf(sharing));
}

} // namespace HallOfFameFile
