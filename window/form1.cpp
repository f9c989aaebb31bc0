// SPDX-License-Identifier: MIT
#include "form1.h"

#include "board.h"
#include "boardfocus.h"
#include "builtinpictures.h"
#include "closingpace.h"
#include "gametime.h"
#include "halloffameerror.h"
#include "halloffamefile.h"
#include "halloffamelines.h"
#include "halloffamepath.h"
#include "halloffameranking.h"
#include "iconpicture.h"
#include "leadingnumber.h"
#include "permutation.h"
#include "platform.h"
#include "shownlinedelegate.h"
#include "summary.h"
#include "tilecover.h"
#include "tileface.h"
#include "twips.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QTimer>
#include <QWindow>

namespace
{

constexpr int kEntriesSaved = 6;
// Longest wait for the window system to carry out one step of the closing
// animation; a window that does not move in that time is not going to.
// Neither does the animation wait beyond its time.
constexpr int kMoveWaitMs = 100;
constexpr int kStepTwips = 30;

// In the system's own spelling: Folder\Icons\(57).ico on Windows.
QString iconPath(const QString &programFolder, const QString &entry)
{
    const QChar separator = QDir::separator();
    return programFolder + separator + QStringLiteral("Icons") + separator + QLatin1Char('(')
        + entry + QStringLiteral(").ico");
}

// Columns side by side across the list's width; none is taken as one.
void setColumnCount(QListWidget *list, int columns)
{
    list->setGridSize(QSize(list->width() / qMax(1, columns), list->fontMetrics().height()));
}

HallOfFameFile::Sharing sharingOf(const EditionProfile &profile)
{
    return profile.hallOfFame == HallOfFameLocation::SystemDriveTemp
        ? HallOfFameFile::Sharing::MachineWide
        : HallOfFameFile::Sharing::Private;
}

// The Hall-of-Fame file may wait a few seconds for another program that
// holds it: the window shows that it is busy meanwhile.
class BusyCursor
{
public:
    explicit BusyCursor(Platform &platform)
        : m_platform(platform)
    {
        m_platform.showBusy(true);
    }
    ~BusyCursor() { m_platform.showBusy(false); }

private:
    Platform &m_platform;
};

} // namespace

Form1::Form1(const EditionProfile &profile, Platform &platform, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_profile(profile)
    , m_platform(platform)
    , m_ranking(std::make_unique<HallOfFameRanking>())
{
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    if (profile.minimizeButton)
        flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    setWindowTitle(QString::fromLatin1(profile.caption));
    setFixedSize(
        twipsToPixels(profile.clientTwips.width()), twipsToPixels(profile.clientTwips.height()));
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);
    createControls();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    txtNum = new QLineEdit(this);
    txtNum->setGeometry(twipsToPixels(m_profile.txtNumTwips));
    lstRand = new QListWidget(this);
    lstRand->setGeometry(twipsToPixels(m_profile.lstRandTwips));
    lstRand->setFlow(QListView::TopToBottom);
    lstRand->setWrapping(true);
    QWidget::setTabOrder(txtNum, lstRand);
    if (m_profile.keepsHallOfFame()) {
        List1 = new QListWidget(this);
        List1->setGeometry(twipsToPixels(QRect(10080, 3600, 4455, 840)));
        List1->setItemDelegate(new ShownLineDelegate(List1));
        QWidget::setTabOrder(lstRand, List1);
    }

    c1.resize(m_profile.cellCount + 1);
    Image1.resize(m_profile.cellCount + 1);
    if (m_profile.hasTileZero) {
        createTile(0);
        c1[0]->move(twipsToPixels(14520), twipsToPixels(840));
        Image1[0]->move(twipsToPixels(14520), twipsToPixels(1560));
    }
    for (qint16 i = 1; i <= m_profile.cellCount; ++i)
        createTile(i);

    Label1 = new QLabel(
        QStringLiteral("  Find the pairs: turn two tiles at a time, as few times as you can."),
        this);
    Label1->setGeometry(twipsToPixels(m_profile.footerTwips));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    txtNum->setFocus();
}

void Form1::createTile(qint16 index)
{
    const int side = twipsToPixels(kTileTwips);
    auto *cover = new TileCover(index, this);
    cover->resize(side, side);
    connect(cover, &TileCover::clicked, this, &Form1::c1_Click);
    // Created after its cover, the face lies above it.
    auto *face = new TileFace(this);
    face->resize(side, side);
    face->setBuiltinPicture(builtinPictureOf(m_profile, index));
    face->hide();
    cover->setFace(face);
    c1[index] = cover;
    Image1[index] = face;
}

bool Form1::start()
{
    Form_Initialize();
    if (m_startFailed)
        return false;
    show();
    return true;
}

void Form1::Form_Initialize()
{
    try {
        if (m_profile.keepsHallOfFame()) {
            const BusyCursor busy(m_platform);
            hallOfFamePath = buildHallOfFamePath();
            CheckFileExistsMake();
            LoadIniFile();
        }
        Reset();
    } catch (const HallOfFameError &error) {
        m_startFailed = true;
        m_platform.reportFailure(error.message());
    }
}

void Form1::Reset()
{
    // Every tile moves in a deal; the board is drawn once, when it is done.
    setUpdatesEnabled(false);
    GetIcons();
    txtNum->setText(QString::number(m_profile.cellCount));
    gameState.clearCounters();
    for (int i = 1; i <= m_profile.cellCount; ++i)
        Image1[i]->hide();
    gameState.startTime = secondsOfDay(m_platform.currentDateTime());
    proc2();
    shuffleC();
    setUpdatesEnabled(true);
    if (m_keyboardPlay)
        focusCell(0);
}

void Form1::GetIcons()
{
    txtNum->setText(QString::number(m_profile.iconPoolSize));
    proc2();
    const QString folder = m_platform.programFolder();
    const int pixelSize = qCeil(twipsToPixels(kTileTwips) * devicePixelRatioF());
    // A picture that will not load ends the loading there, silently: the
    // faces after it keep what they had. The second tile of a pair takes the
    // picture just read for the first, as the same file would give it again.
    QList<QImage> chosen;
    chosen.reserve(m_profile.pairCount);
    for (int i = 1; i <= m_profile.pairCount; ++i) {
        const QImage picture
            = loadIconPicture(iconPath(folder, lstRand->item(i)->text()), pixelSize);
        if (picture.isNull())
            return;
        Image1[i]->setPicture(picture);
        chosen.append(picture);
    }
    for (int i = 1; i <= m_profile.pairCount; ++i)
        Image1[i + m_profile.pairCount]->setPicture(chosen[i - 1]);
}

void Form1::proc2()
{
    const double n = leadingNumber(txtNum->text());
    // The counts are the game's own (at most the pool of 200); anything that
    // would not fit a tile index is not a count.
    if (n <= 0 || n > 32767)
        return;
    const int count = roundHalfEven(n);
    m_platform.reseed(m_platform.timer());
    const QList<int> permutation
        = drawPermutation(count, [this] { return m_platform.nextRandom(); });
    QStringList entries;
    entries.reserve(count);
    for (int value : permutation)
        entries.append(QString::number(value));
    lstRand->clear();
    setColumnCount(
        lstRand, listColumns(lstRand->width(), fontMetrics().horizontalAdvance(txtNum->text())));
    lstRand->addItems(entries);
}

void Form1::shuffleC()
{
    for (int k = 0; k < m_profile.cellCount; ++k) {
        const auto index = static_cast<qint16>(lstRand->item(k)->text().toShort());
        placeTile(index, cellTopLeftTwips(k, m_profile.gridSide));
    }
}

void Form1::placeTile(qint16 index, QPoint topLeftTwips)
{
    const QPoint topLeft(twipsToPixels(topLeftTwips.x()), twipsToPixels(topLeftTwips.y()));
    c1[index]->move(topLeft);
    Image1[index]->move(topLeft);
}

void Form1::setKeyboardPlay(bool on)
{
    if (on == m_keyboardPlay)
        return;
    m_keyboardPlay = on;
    // A click puts the focus on the tile too, so that keys and mouse mix.
    for (int i = 1; i <= m_profile.cellCount; ++i)
        c1[i]->setFocusPolicy(on ? Qt::ClickFocus : Qt::NoFocus);
    if (on)
        focusCell(0);
    else
        txtNum->setFocus();
    update();
}

QList<TileCover *> Form1::tilesByCell() const
{
    QList<TileCover *> cells(m_profile.cellCount, nullptr);
    for (int i = 1; i <= m_profile.cellCount; ++i) {
        const int cell = cellAtTwips(c1[i]->pos() * kTwipsPerPixel, m_profile.gridSide);
        if (cell >= 0 && !cells[cell])
            cells[cell] = c1[i];
    }
    return cells;
}

// Before the first deal no tile lies on the board; the deal focuses one.
void Form1::focusCell(int cell)
{
    if (TileCover *tile = tilesByCell().value(cell))
        tile->setFocus(Qt::OtherFocusReason);
}

TileCover *Form1::focusedTile() const
{
    return m_keyboardPlay ? qobject_cast<TileCover *>(focusWidget()) : nullptr;
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    TileCover *tile = focusedTile();
    if (!tile) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        tile->press();
        return;
    default:
        break;
    }
    const int cell = tilesByCell().indexOf(tile);
    const int next = focusCellAfterKey(cell, event->key(), event->modifiers(), m_profile.gridSide);
    if (cell < 0 || next < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    focusCell(next);
}

// The board is the only stop: Tab does not lead to the controls that only
// hold the game's data.
bool Form1::focusNextPrevChild(bool next)
{
    if (focusedTile())
        return true;
    return QWidget::focusNextPrevChild(next);
}

// A black ring round the focused tile, in the gap between the tiles, with a
// white line next to the tile: one of the two stands out on any colour, the
// ring on the grey background and the white cover alike. It covers nothing
// of the tile.
void Form1::paintEvent(QPaintEvent *)
{
    const TileCover *tile = focusedTile();
    if (!tile)
        return;
    const QRect frame = tile->focusFrame();
    QPainter painter(this);
    painter.setClipRegion(QRegion(frame).subtracted(QRegion(tile->geometry())));
    painter.fillRect(frame, Qt::black);
    painter.fillRect(tile->geometry().adjusted(-1, -1, 1, 1), Qt::white);
}

void Form1::c1_Click(qint16 index)
{
    if (m_unloading || index < 1 || index > m_profile.cellCount)
        return;
    const GameState::Turn turn = gameState.click(index, m_profile.pairCount);
    if (turn.hideFirst) {
        Image1[turn.hideFirst]->hide();
        Image1[turn.hideSecond]->hide();
    }
    Image1[turn.show]->show();
    if (turn.pairFound)
        c1[gameState.firstPick]->announceName();
    if (turn.lastPair)
        EndGame();
}

void Form1::EndGame()
{
    gameState.countTries();
    gameState.endTime = secondsOfDay(m_platform.currentDateTime());
    gameState.elapsedTime = elapsedSeconds(gameState.startTime, gameState.endTime);
    if (m_profile.keepsHallOfFame()) {
        CheckHigherScore();
        showHallOfFame();
    } else {
        showSummary();
    }
    const Platform::Answer again = m_platform.messageBox(QStringLiteral("Do Want To play Again?"),
        Platform::Buttons::YesNo, Platform::Icon::Question, QStringLiteral("Question"));
    if (again == Platform::Answer::Yes)
        Reset();
    else
        unload();
}

void Form1::showHallOfFame()
{
    QStringList shown = hallOfFameLines().mid(1, 5);
    for (QString &line : shown)
        line = HallOfFameLines::shownLine(line);
    m_platform.messageBox(shown.join(QStringLiteral("\r\n\r\n")), Platform::Buttons::Ok,
        Platform::Icon::Information, QStringLiteral("Tilvane"));
}

void Form1::showSummary()
{
    const int timeNow = secondsOfDay(m_platform.currentDateTime());
    m_platform.messageBox(summaryText(QLocale(), gameState.startTime, timeNow,
                              gameState.elapsedTime, gameState.clickCount),
        Platform::Buttons::Ok, Platform::Icon::Information, QStringLiteral("Tilvane"));
}

void Form1::CheckHigherScore()
{
    const QStringList lines = hallOfFameLines();
    const double tries = gameState.clickCount;
    const int place = m_ranking->findPlace(lines, tries);
    if (place == 0)
        return;
    playerName
        = m_platform.inputBox(QStringLiteral("Enter Your Name"), QStringLiteral("Hall Of Fame"));
    // The entry keeps the name on one line of the file, however it was typed.
    setHallOfFameLines(HallOfFameRanking::entered(
        lines, place, playerName, formatHms(gameState.elapsedTime), tries));
}

QString Form1::buildHallOfFamePath()
{
    if (m_profile.hallOfFame == HallOfFameLocation::SystemDriveTemp) {
        return hallOfFamePathOf(m_profile.hallOfFame, QString(),
            m_platform.environmentVariable(QStringLiteral("SystemDrive")));
    }
    return hallOfFamePathOf(m_profile.hallOfFame, m_platform.programFolder(), QString());
}

QStringList Form1::hallOfFameLines() const
{
    QStringList lines;
    for (int i = 0; i < List1->count(); ++i)
        lines.append(List1->item(i)->text());
    return lines;
}

void Form1::setHallOfFameLines(const QStringList &lines)
{
    List1->clear();
    List1->addItems(lines);
}

void Form1::CheckFileExistsMake()
{
    HallOfFameFile::makeIfMissing(hallOfFamePath, sharingOf(m_profile));
}

void Form1::LoadIniFile()
{
    setHallOfFameLines(HallOfFameFile::load(hallOfFamePath, sharingOf(m_profile)));
}

void Form1::SaveIniFile()
{
    hallOfFamePath = buildHallOfFamePath();
    HallOfFameFile::save(
        hallOfFamePath, hallOfFameLines().mid(0, kEntriesSaved), sharingOf(m_profile));
}

void Form1::closeEvent(QCloseEvent *event)
{
    // Closing cannot be cancelled, and a second close while the window is
    // already going is not handled.
    event->ignore();
    unload();
}

void Form1::unload()
{
    if (m_unloading)
        return;
    m_unloading = true;
    Form_Unload();
}

void Form1::Form_Unload()
{
    if (m_profile.keepsHallOfFame()) {
        try {
            const BusyCursor busy(m_platform);
            SaveIniFile();
        } catch (const HallOfFameError &error) {
            m_platform.reportFailure(error.message());
            return;
        }
    }
    playClosingAnimation();
    m_platform.endProgram(0);
}

void Form1::playClosingAnimation()
{
    if (QWindow *window = windowHandle())
        window->installEventFilter(this);
    const qint64 began = m_platform.steadyMilliseconds();
    const ClosingPace pace(
        double(pos().y()) * kTwipsPerPixel, m_platform.screenWidthTwips(), kStepTwips);
    m_closingPasses = 0;
    m_closingSize = size();
    int stepsMade = 0;
    for (;;) {
        const qint64 elapsed = m_platform.steadyMilliseconds() - began;
        // The first pass is always made.
        if (m_closingPasses > 0 && pace.isOver(elapsed))
            break;
        ++m_closingPasses;
        const int due = pace.stepsDue(elapsed, stepsMade);
        makeClosingSteps(due - stepsMade);
        stepsMade = due;
        // A window the platform will not move (minimized, or where windows
        // cannot place themselves) would never get past the edge.
        const qint64 timeLeft = ClosingPace::BudgetMs - elapsed;
        if (!waitForWindowMove(qBound(qint64(1), timeLeft, qint64(kMoveWaitMs))))
            break;
        if (double(pos().y()) * kTwipsPerPixel > m_platform.screenWidthTwips())
            break;
    }
}

// Steps left out by a late pass are made at once, in one move.
void Form1::makeClosingSteps(int count)
{
    const int step = twipsToPixels(kStepTwips);
    // Shrunk from the size last asked for, not from size(): on a busy
    // machine the window system may report an earlier, larger size late,
    // and the window would grow back.
    QSize shrunk = m_closingSize;
    for (int i = 0; i < count; ++i) {
        const QSize smaller = shrunk - QSize(2 * step, 2 * step);
        // A size the window system cannot take is skipped; the window keeps
        // drifting.
        if (smaller.isEmpty())
            break;
        shrunk = smaller;
    }
    move(pos() + QPoint(step, step) * count);
    m_closingSize = shrunk;
    if (shrunk != size())
        setFixedSize(shrunk);
}

// Under a window manager a move is only a request: a loop that merely sets
// the geometry is over before anything has moved. Each step waits, briefly,
// for the window system to report the window moved, so that on an idle
// machine every step reaches the screen; user input stays unhandled meanwhile.
bool Form1::waitForWindowMove(qint64 longestMs)
{
    if (!windowHandle() || !isVisible())
        return true;
    m_windowMoved = false;
    QElapsedTimer waited;
    waited.start();
    QTimer wakeUp;
    wakeUp.start(int(longestMs));
    while (!m_windowMoved && !waited.hasExpired(longestMs)) {
        QCoreApplication::processEvents(
            QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    }
    return m_windowMoved;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Move)
        m_windowMoved = true;
    return QWidget::eventFilter(watched, event);
}
