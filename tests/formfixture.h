// SPDX-License-Identifier: MIT
// A real game window on a scripted platform, its program folder a fresh
// temporary folder.
#pragma once

#include "form1.h"
#include "scriptedplatform.h"
#include "testicons.h"
#include "tilecover.h"
#include "tileface.h"

#include <memory>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

// Each step of the closing animation fixes the window's size anew, which the
// offscreen platform cannot pass on and says so, hundreds of times a close.
inline void quietSizeHints()
{
    static const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
            if (message != QLatin1String("This plugin does not support propagateSizeHints()"))
                previous(type, context, message);
        });
}

struct FormFixture {
    QTemporaryDir dir;
    ScriptedPlatform platform;
    std::unique_ptr<Form1> form;

    explicit FormFixture(bool withIcons = true)
    {
        quietSizeHints();
        platform.folder = dir.path();
        if (withIcons)
            writeTestIcons(dir.path());
        // Edition 3 finds its file below this "system drive".
        QDir(dir.path()).mkpath(QStringLiteral("drive/var/tmp"));
        platform.environment.insert(
            QStringLiteral("SystemDrive"), dir.path() + QStringLiteral("/drive"));
    }

    Form1 &open(const EditionProfile &profile)
    {
        form = std::make_unique<Form1>(profile, platform);
        form->start();
        return *form;
    }

    // Opened with keyboard play on or off, with the keyboard's input.
    Form1 &openForKeys(const EditionProfile &profile, bool keyboardPlay = true)
    {
        form = std::make_unique<Form1>(profile, platform);
        form->setKeyboardPlay(keyboardPlay);
        form->start();
        if (!QTest::qWaitForWindowActive(form.get()))
            qWarning("the game window never became active");
        return *form;
    }

    // A real click through the window system, landing on whatever lies there.
    void clickAt(QPoint point)
    {
        QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, point);
    }
    void clickTile(int index) { clickAt(form->c1[index]->geometry().center()); }
    // A real key press through the window system, to whatever has the focus.
    void pressKey(QKeyCombination key)
    {
        QTest::keyClick(form->windowHandle(), key.key(), key.keyboardModifiers());
    }
    bool faceUp(int index) const { return form->Image1[index]->isVisible(); }
};
