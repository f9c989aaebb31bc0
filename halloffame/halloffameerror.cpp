// SPDX-License-Identifier: MIT
#include "halloffameerror.h"

namespace
{

QString verb(HallOfFameError::Action action)
{
    switch (action) {
    case HallOfFameError::Action::Use:
        return QStringLiteral("use");
    case HallOfFameError::Action::Create:
        return QStringLiteral("create");
    case HallOfFameError::Action::Read:
        return QStringLiteral("read");
    case HallOfFameError::Action::Write:
        break;
    }
    return QStringLiteral("save");
}

} // namespace

HallOfFameError::HallOfFameError(Action action, const QString &path, const QString &reason)
    : m_action(action)
    , m_path(path)
    , m_reason(reason)
    , m_what(message().toUtf8())
{
}

QString HallOfFameError::message() const
{
    return QStringLiteral("Cannot %1 the Hall of Fame file \"%2\": %3")
        .arg(verb(m_action), m_path, m_reason);
}

const char *HallOfFameError::what() const noexcept
{
    return m_what.constData();
}

QString HallOfFameError::hardLinkReason()
{
    return QStringLiteral(
        "the file has more than one name (a hard link), which rewriting it in place would change "
        "as well");
}

QString HallOfFameError::movedReason()
{
    return QStringLiteral("the file was moved away or replaced while it was being saved");
}
