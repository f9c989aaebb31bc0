// SPDX-License-Identifier: MIT
#pragma once

#include "editionprofile.h"
#include "gamestate.h"

#include <memory>
#include <QList>
#include <QWidget>

class HallOfFameRanking;
class Platform;
class QLabel;
class QLineEdit;
class QListWidget;
class TileCover;
class TileFace;

// The game window: its controls, and the procedures that deal, play, end a
// game and close. The procedures keep the names the game has always had;
// their arithmetic lives in plain functions beside them.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    Form1(const EditionProfile &profile, Platform &platform, QWidget *parent = nullptr);
    ~Form1() override;

    // Runs the start-up handler and shows the window on success: the player
    // first sees the window with the first deal complete. False when start-up
    // failed (the failure was reported).
    bool start();

    void Form_Initialize();
    void Reset();
    void GetIcons();
    void proc2();
    void shuffleC();
    void c1_Click(qint16 index);
    void EndGame();
    void CheckHigherScore();
    void CheckFileExistsMake();
    void LoadIniFile();
    void SaveIniFile();
    void Form_Unload();

    const EditionProfile &profile() const { return m_profile; }
    // Keyboard play: the tiles take the keyboard focus, shown by a frame; the
    // arrows, Home and End move it and Space or Return turns the focused tile
    // as a click in its middle does. Off, typed keys do nothing in the game.
    void setKeyboardPlay(bool on);
    bool keyboardPlay() const { return m_keyboardPlay; }
    // The tile at each grid position, row by row from the top-left.
    QList<TileCover *> tilesByCell() const;
    // Passes the last closing animation made.
    int closingPasses() const { return m_closingPasses; }

    // The window's controls. c1 and Image1 are indexed 0 .. cellCount; index
    // 0 is null where the edition has no tile 0. List1 is null in editions
    // without a Hall of Fame.
    QList<TileCover *> c1;
    QList<TileFace *> Image1;
    QListWidget *lstRand = nullptr;
    QLineEdit *txtNum = nullptr;
    QListWidget *List1 = nullptr;
    QLabel *Label1 = nullptr;

    GameState gameState;
    QString hallOfFamePath;
    QString playerName;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void createControls();
    void createTile(qint16 index);
    void placeTile(qint16 index, QPoint topLeftTwips);
    QString buildHallOfFamePath();
    QStringList hallOfFameLines() const;
    void setHallOfFameLines(const QStringList &lines);
    void showHallOfFame();
    void showSummary();
    void unload();
    void playClosingAnimation();
    void makeClosingSteps(int count);
    bool waitForWindowMove(qint64 longestMs);
    void focusCell(int cell);
    TileCover *focusedTile() const;

    const EditionProfile &m_profile;
    Platform &m_platform;
    std::unique_ptr<HallOfFameRanking> m_ranking;
    bool m_startFailed = false;
    bool m_unloading = false;
    bool m_windowMoved = false;
    bool m_keyboardPlay = false;
    int m_closingPasses = 0;
    QSize m_closingSize;
};
