// The window registry driven with two small tool windows that record the commands they get.

#include "gui/window_registry.h"

#include "display/plot_painter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kv {
namespace {

// Who got which command, in the order they came; outlives the windows.
using CommandLog = std::vector<std::pair<std::string, int>>;

class RecordingWindow : public ToolWindow {
public:
    RecordingWindow(std::string name, CommandLog& log,
                    std::vector<std::pair<Notification, int>> followed = {})
        : ToolWindow(nullptr), m_name(std::move(name)), m_log(log) {
        for (const auto& [notification, command] : followed) {
            follow(notification, command);
        }
    }

    void command(int id) override { m_log.emplace_back(m_name, id); }

private:
    std::string m_name;
    CommandLog& m_log;
};

// Refuses to close while told to, as a window with unsaved changes whose question was
// cancelled does, and runs an action of the test's on its command (closing another window).
class StubbornWindow : public RecordingWindow {
public:
    using RecordingWindow::RecordingWindow;

    bool refuseClose = true;
    std::function<void()> onCommand;

    void command(int id) override {
        RecordingWindow::command(id);
        if (onCommand) {
            onCommand();
        }
    }

protected:
    void closeEvent(QCloseEvent* event) override { event->setAccepted(!refuseClose); }
};

struct Registry : ::testing::Test {
    CommandLog log;
    int made = 0;
    WindowRegistry registry;

    template <class Window = RecordingWindow>
    Window* open(WindowKind kind, const std::string& name,
                 std::vector<std::pair<Notification, int>> followed = {}) {
        ToolWindow* window = registry.open(kind, [&] {
            ++made;
            return std::make_unique<Window>(name, log, followed);
        });
        return dynamic_cast<Window*>(window);
    }
};

TEST_F(Registry, OpeningAnOpenKindRaisesItsWindowInsteadOfBuildingAnother) {
    RecordingWindow* noise = open(WindowKind::NoiseTrack, "noise");
    ASSERT_NE(noise, nullptr);
    EXPECT_TRUE(noise->isVisible());
    RecordingWindow* lines = open(WindowKind::FoundLines, "lines");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == lines; }));

    EXPECT_EQ(open(WindowKind::NoiseTrack, "second noise"), noise);
    EXPECT_EQ(made, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == noise; }));

    noise->showMinimized();
    EXPECT_EQ(open(WindowKind::NoiseTrack, "third noise"), noise);
    EXPECT_FALSE(noise->isMinimized());
    EXPECT_EQ(made, 2);
}

TEST_F(Registry, ArithmeticWindowsOpenAsOftenAsAskedAndAllGetTheirCommand) {
    RecordingWindow* first = open(WindowKind::Arithmetic, "first");
    RecordingWindow* second = open(WindowKind::Arithmetic, "second");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_EQ(registry.find(WindowKind::Arithmetic), first);
    EXPECT_EQ(registry.send(WindowKind::Arithmetic, kRefreshCommand), 2);
    EXPECT_EQ(log, (CommandLog{{"first", kRefreshCommand}, {"second", kRefreshCommand}}));

    // Without a window to build nothing is opened.
    EXPECT_EQ(registry.open(WindowKind::Arithmetic, [] { return nullptr; }), nullptr);
    first->close();
    EXPECT_EQ(registry.find(WindowKind::Arithmetic), second);
}

TEST_F(Registry, CommandsAndNotificationsReachOnlyTheOpenWindowsThatFollowThem) {
    open(WindowKind::NoiseTrack, "noise", {{Notification::CurrentHistogramChanged, 1001}});
    open(WindowKind::SinglePeak, "peak",
         {{Notification::CursorMoved, kCursorMovedCommand}, {Notification::ListChanged, 1001}});
    EXPECT_TRUE(registry.isOpen(WindowKind::SinglePeak));
    EXPECT_FALSE(registry.isOpen(WindowKind::EnergyCalibration));
    EXPECT_EQ(registry.find(WindowKind::EnergyCalibration), nullptr);

    EXPECT_EQ(registry.send(WindowKind::SinglePeak, 105), 1);
    EXPECT_EQ(registry.send(WindowKind::EnergyCalibration, 201), 0);
    registry.notify(Notification::CursorMoved);
    registry.notify(Notification::CalibrationChanged); // followed by neither
    registry.notify(Notification::ListChanged);
    registry.notify(Notification::CurrentHistogramChanged);
    EXPECT_EQ(log,
              (CommandLog{
                  {"peak", 105}, {"peak", kCursorMovedCommand}, {"peak", 1001}, {"noise", 1001}}));
}

TEST_F(Registry, ClosedAndDeletedWindowsAreForgottenAtOnceAndNeverCalled) {
    const std::vector<std::pair<Notification, int>> follows{{Notification::ListChanged, 1}};
    RecordingWindow* noise = open(WindowKind::NoiseTrack, "noise", follows);
    RecordingWindow* peak = open(WindowKind::SinglePeak, "peak", follows);
    auto* closer = open<StubbornWindow>(WindowKind::Arithmetic, "closer", follows);
    RecordingWindow* lines = open(WindowKind::FoundLines, "lines", follows);
    ASSERT_TRUE(noise && peak && closer && lines);

    // Closed, the window is still being deleted when the registry is asked.
    const QPointer<RecordingWindow> closed = noise;
    noise->close();
    ASSERT_TRUE(closed);
    EXPECT_FALSE(registry.isOpen(WindowKind::NoiseTrack));
    delete peak;
    EXPECT_FALSE(registry.isOpen(WindowKind::SinglePeak));
    // A window closed by another's command while a notification goes round is not reached.
    closer->onCommand = [lines] { delete lines; };
    registry.notify(Notification::ListChanged);
    EXPECT_EQ(log, (CommandLog{{"closer", 1}}));
    EXPECT_EQ(registry.send(WindowKind::NoiseTrack, 2), 0);

    // The kind opens afresh.
    EXPECT_NE(open(WindowKind::NoiseTrack, "new noise"), nullptr);
    EXPECT_EQ(made, 5);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(closed);
}

// Draws nothing; only its address matters.
class NoOverlay : public PlotOverlay {
public:
    void draw(QPainter&, const PlotView&, const AppConfig&, const HistogramList&) const override {}
};

class OverlayWindow : public RecordingWindow {
public:
    using RecordingWindow::RecordingWindow;
    const PlotOverlay* plotOverlay() const override { return &overlay; }
    NoOverlay overlay;
};

TEST_F(Registry, OverlaysOfTheOpenWindowsInOpeningOrder) {
    auto* database = open<OverlayWindow>(WindowKind::IsotopeDatabase, "database");
    open(WindowKind::NoiseTrack, "noise");
    auto* approximation = open<OverlayWindow>(WindowKind::Approximation, "approximation");
    EXPECT_EQ(registry.overlays(),
              (std::vector<const PlotOverlay*>{&database->overlay, &approximation->overlay}));
    database->close();
    EXPECT_EQ(registry.overlays(), std::vector<const PlotOverlay*>{&approximation->overlay});
}

TEST_F(Registry, CloseAllClosesEveryWindowButOneThatRefuses) {
    QPointer<RecordingWindow> noise = open(WindowKind::NoiseTrack, "noise");
    QPointer<RecordingWindow> first = open(WindowKind::Arithmetic, "first");
    QPointer<RecordingWindow> second = open(WindowKind::Arithmetic, "second");
    auto* database = open<StubbornWindow>(WindowKind::IsotopeDatabase, "database");

    EXPECT_FALSE(registry.closeAll());
    EXPECT_FALSE(registry.isOpen(WindowKind::NoiseTrack) ||
                 registry.isOpen(WindowKind::Arithmetic));
    EXPECT_TRUE(registry.isOpen(WindowKind::IsotopeDatabase));
    database->refuseClose = false;
    EXPECT_TRUE(registry.closeAll());
    EXPECT_FALSE(registry.isOpen(WindowKind::IsotopeDatabase));
    // Closed tool windows delete themselves.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(noise || first || second);
}

TEST(WindowRegistry, DeletesTheWindowsStillOpenWhenItEnds) {
    CommandLog log;
    QPointer<ToolWindow> window;
    {
        WindowRegistry registry;
        window = registry.open(WindowKind::ReportLog,
                               [&] { return std::make_unique<RecordingWindow>("log", log); });
        ASSERT_TRUE(window);
    }
    EXPECT_FALSE(window);
}

} // namespace
} // namespace kv
