// SPDX-License-Identifier: MIT
// The game window's procedures on the real icon pool, headless.
#include "benchmain.h"
#include "editions.h"
#include "form1.h"
#include "qtplatform.h"
#include "scriptedplatform.h"
#include "tilecover.h"
#include "tileface.h"

#include <array>
#include <benchmark/benchmark.h>
#include <memory>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <vector>

namespace
{

// Longest wait for a paint; a window that takes longer is broken, not slow.
constexpr int kPaintTimeoutMs = 2000;
// Work the timed loops leave for the event loop is handled this often.
constexpr benchmark::IterationCount kEventsEvery = 1024;

// Counts the events of one type a widget receives.
class EventCounter : public QObject
{
public:
    EventCounter(QWidget *widget, QEvent::Type type)
        : QObject(widget)
        , m_type(type)
    {
        widget->installEventFilter(this);
    }
    int count() const { return m_count; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == m_type)
            ++m_count;
        return QObject::eventFilter(watched, event);
    }

private:
    QEvent::Type m_type;
    int m_count = 0;
};

// Handles events until the counter has seen one more event than `before`.
// Counting paints, that is up to the end of the paint; counting a window's
// update requests, up to the end of its repaint: the repaint manager paints
// every dirty widget and flushes the backing store within that one event.
bool seenAfter(const EventCounter &counter, int before)
{
    QElapsedTimer waited;
    waited.start();
    while (counter.count() == before) {
        if (waited.elapsed() > kPaintTimeoutMs)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

// The window of one edition on the real pool, dealt and shown. The clock
// moves on with every deal so that each one reads other icon files.
struct Board {
    ScriptedPlatform platform;
    std::unique_ptr<Form1> form;

    explicit Board(const EditionProfile &profile, bool keyboardPlay = false)
    {
        platform.folder = QStringLiteral(TILVANE_PROGRAM_FOLDER);
        form = std::make_unique<Form1>(profile, platform);
        form->setKeyboardPlay(keyboardPlay);
        deal();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qFatal("the window was never exposed");
        QCoreApplication::processEvents();
    }

    void deal()
    {
        platform.timerValue += 1.0f;
        form->Reset();
    }

    QPoint centreOf(int tile) const { return form->c1[tile]->geometry().center(); }
};

void flushEvents(benchmark::State &state)
{
    state.PauseTiming();
    QCoreApplication::processEvents();
    state.ResumeTiming();
}

void BM_proc2(benchmark::State &state)
{
    Board board(kEdition31);
    board.form->txtNum->setText(QString::number(state.range(0)));
    for (auto _ : state) {
        board.form->proc2();
        if (state.iterations() % kEventsEvery == 0)
            flushEvents(state);
    }
}
BENCHMARK(BM_proc2)->ArgName("N")->Arg(200)->Arg(100)->Unit(benchmark::kMicrosecond);

// With keyboard play the deal also puts the focus on the first tile.
void BM_Reset(benchmark::State &state, bool keyboardPlay)
{
    Board board(kEdition31, keyboardPlay);
    for (auto _ : state) {
        board.deal();
        // The repaint of a deal is measured by BM_ResetPainted.
        flushEvents(state);
    }
}
BENCHMARK_CAPTURE(BM_Reset, 10x10, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Reset, 10x10_keyboard, true)->Unit(benchmark::kMillisecond);

// A deal until it is on the screen: Reset, then the events it leaves (the
// layout of the lists, the repaint of the window) up to the end of the
// window's next repaint.
void BM_ResetPainted(benchmark::State &state)
{
    Board board(kEdition31);
    EventCounter repaints(board.form.get(), QEvent::UpdateRequest);
    for (auto _ : state) {
        const int before = repaints.count();
        board.deal();
        if (!seenAfter(repaints, before)) {
            state.SkipWithError("the window was not repainted");
            break;
        }
    }
}
BENCHMARK(BM_ResetPainted)->Name("BM_ResetPainted/10x10")->Unit(benchmark::kMillisecond);

void BM_GetIcons(benchmark::State &state)
{
    Board board(kEdition31);
    for (auto _ : state) {
        board.form->GetIcons();
        flushEvents(state);
    }
}
BENCHMARK(BM_GetIcons)->Name("BM_GetIcons/10x10")->Unit(benchmark::kMillisecond);

// Every iteration places the tiles of a new permutation: placing them
// where they already lie would move nothing.
void BM_shuffleC(benchmark::State &state)
{
    Board board(kEdition31);
    board.form->txtNum->setText(QString::number(kEdition31.cellCount));
    for (auto _ : state) {
        state.PauseTiming();
        board.platform.timerValue += 1.0f;
        board.form->proc2();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        board.form->shuffleC();
    }
}
BENCHMARK(BM_shuffleC)->Name("BM_shuffleC/10x10")->Unit(benchmark::kMicrosecond);

// Tiles 1, 2 and 3 are no pair, so clicking them in turn never ends: the
// second makes a mismatch, the third turns that back and stays up alone.
// Every click lands on a face-down tile.
constexpr std::array<qint16, 3> kCycle { 1, 2, 3 };

void BM_c1_Click(benchmark::State &state)
{
    Board board(kEdition31);
    size_t next = 0;
    for (auto _ : state) {
        board.form->c1_Click(kCycle[next]);
        next = (next + 1) % kCycle.size();
        if (state.iterations() % kEventsEvery == 0)
            flushEvents(state);
    }
}
BENCHMARK(BM_c1_Click)->Unit(benchmark::kMicrosecond);

// From a real mouse click on the shown window to the paint of the face it
// turns up, through the event loop as the program runs it: press and
// release reach the cover, the click shows the face, and the repaint
// manager's update request paints it and flushes the backing store.
void BM_ClickToPaint_firstReveal(benchmark::State &state)
{
    Board board(kEdition31);
    EventCounter repaints(board.form.get(), QEvent::UpdateRequest);
    EventCounter facePaints(board.form->Image1[1], QEvent::Paint);
    for (auto _ : state) {
        // A new deal, on the screen, before each click: the face is
        // scaled on its first paint after a deal.
        state.PauseTiming();
        const int repaintsBefore = repaints.count();
        board.deal();
        const bool dealt = seenAfter(repaints, repaintsBefore);
        state.ResumeTiming();
        const int before = facePaints.count();
        QTest::mouseClick(board.form->windowHandle(), Qt::LeftButton, {}, board.centreOf(1));
        if (!dealt || !seenAfter(facePaints, before)) {
            state.SkipWithError("the face was not painted");
            break;
        }
    }
}
BENCHMARK(BM_ClickToPaint_firstReveal)->Unit(benchmark::kMicrosecond);

// The same path with faces seen before in the deal.
void BM_ClickToPaint_again(benchmark::State &state)
{
    Board board(kEdition31);
    std::vector<std::unique_ptr<EventCounter>> facePaints;
    for (qint16 tile : kCycle)
        facePaints.push_back(
            std::make_unique<EventCounter>(board.form->Image1[tile], QEvent::Paint));
    size_t next = 0;
    for (auto _ : state) {
        const EventCounter &face = *facePaints[next];
        const int before = face.count();
        QTest::mouseClick(
            board.form->windowHandle(), Qt::LeftButton, {}, board.centreOf(kCycle[next]));
        if (!seenAfter(face, before)) {
            state.SkipWithError("the face was not painted");
            break;
        }
        next = (next + 1) % kCycle.size();
    }
}
BENCHMARK(BM_ClickToPaint_again)->Unit(benchmark::kMicrosecond);

// The window's own part of a program's start, per edition, warm: building
// (and destroying) the window, then also start() (the Hall of Fame, the
// first deal, show) up to its first paint. Edition 3 keeps its file below a temporary
// system drive, edition 3.1 beside the programs, as the real one does.
void BM_Form1_construct(benchmark::State &state, const EditionProfile *profile)
{
    ScriptedPlatform platform;
    platform.folder = QStringLiteral(TILVANE_PROGRAM_FOLDER);
    for (auto _ : state) {
        Form1 form(*profile, platform);
        benchmark::DoNotOptimize(&form);
    }
}

void BM_Form1_startToFirstFrame(benchmark::State &state, const EditionProfile *profile)
{
    QTemporaryDir drive;
    QDir(drive.path()).mkpath(QStringLiteral("var/tmp"));
    ScriptedPlatform platform;
    platform.folder = QStringLiteral(TILVANE_PROGRAM_FOLDER);
    platform.environment.insert(QStringLiteral("SystemDrive"), drive.path());
    for (auto _ : state) {
        Form1 form(*profile, platform);
        EventCounter paints(&form, QEvent::Paint);
        if (!form.start() || !seenAfter(paints, 0)) {
            state.SkipWithError("the window did not start");
            break;
        }
        state.PauseTiming();
        form.hide();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

#define TILVANE_EDITION_BENCHMARKS(function)                                                       \
    BENCHMARK_CAPTURE(function, v1, &kEdition1)->Unit(benchmark::kMillisecond);                    \
    BENCHMARK_CAPTURE(function, v2, &kEdition2)->Unit(benchmark::kMillisecond);                    \
    BENCHMARK_CAPTURE(function, v3, &kEdition3)->Unit(benchmark::kMillisecond);                    \
    BENCHMARK_CAPTURE(function, v31, &kEdition31)->Unit(benchmark::kMillisecond)

TILVANE_EDITION_BENCHMARKS(BM_Form1_construct);
TILVANE_EDITION_BENCHMARKS(BM_Form1_startToFirstFrame);

// The Hall-of-Fame box of the programs, from exec() to its first frame
// painted, on the default places and on five places whose names are far
// longer than the screen can show: 1024 regional-indicator symbols, each
// drawn from a colour bitmap font where one is installed, or 50000 letters.
enum class Names { Default, RegionalIndicators, Letters };

void BM_HallOfFameBox(benchmark::State &state, Names names)
{
    QString name = QStringLiteral("Fred");
    if (names == Names::RegionalIndicators) {
        name.clear();
        for (char32_t symbol = 0; symbol < 1024; ++symbol)
            name += QString::fromUcs4(
                std::array { char32_t(U'\U0001F1E6' + symbol % 26) }.data(), 1);
    } else if (names == Names::Letters) {
        name = QStringLiteral("Wolfgang ").repeated(50000 / 9);
    }
    QStringList places;
    for (int place = 1; place <= 5; ++place)
        places.append(QStringLiteral("No%1 %2 Time 00:00:00 Trys 999").arg(place).arg(name));
    const QString text = places.join(QStringLiteral("\r\n\r\n"));
    QtPlatform platform;
    for (auto _ : state) {
        QTimer::singleShot(0, [] {
            QWidget *box = QApplication::activeModalWidget();
            box->grab();
            QTest::keyClick(box, Qt::Key_Return);
        });
        platform.messageBox(
            text, Platform::Buttons::Ok, Platform::Icon::Information, QStringLiteral("Tilvane"));
    }
}
BENCHMARK_CAPTURE(BM_HallOfFameBox, defaultPlaces, Names::Default)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HallOfFameBox, longestNames, Names::RegionalIndicators)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HallOfFameBox, longWords, Names::Letters)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char *argv[])
{
    return runBenchmarks(argc, argv, { { "program folder", TILVANE_PROGRAM_FOLDER } });
}
