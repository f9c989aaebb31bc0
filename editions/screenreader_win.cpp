// SPDX-License-Identifier: MIT
// Narrator, NVDA and JAWS raise the system's screen-reader flag while they
// run, and its change is broadcast to every top-level window.
#include "screenreader.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <windows.h>

namespace
{

bool screenReaderFlag()
{
    BOOL on = FALSE;
    return SystemParametersInfoW(SPI_GETSCREENREADER, 0, &on, 0) && on;
}

} // namespace

struct ScreenReader::Watch : QAbstractNativeEventFilter {
    explicit Watch(ScreenReader *reader)
        : m_reader(reader)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~Watch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool nativeEventFilter(const QByteArray &, void *message, qintptr *) override
    {
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message == WM_SETTINGCHANGE && msg->wParam == SPI_SETSCREENREADER)
            m_reader->take(screenReaderFlag());
        return false;
    }

    ScreenReader *m_reader;
};

ScreenReader::ScreenReader(QObject *parent)
    : QObject(parent)
    , m_running(screenReaderFlag())
    , m_watch(new Watch(this))
{
}

ScreenReader::~ScreenReader()
{
    delete m_watch;
}
