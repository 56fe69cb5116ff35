// The desktop program's start: the analyser it starts with and the status bar field that names
// it, and configuration records no running program wrote (a placement far larger than the
// screens or far off them, records of random or extreme bytes).

#include "acquisition/port_selection.h"
#include "app/main_window.h"
#include "gui/app_state.h"
#include "model/app_config.h"
#include "model/configuration_file.h"
#include "support/fake_ui_services.h"
#include "support/fifo_guard.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QBackingStore>
#include <QLabel>
#include <QScreen>

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kv {
namespace {

// Ports that answer nothing, standing in for the real ones the kernel granted.
class GrantedPorts final : public PortIo {
public:
    void writePort(std::uint16_t, std::uint8_t) override {}
    std::uint8_t readPort(std::uint16_t) override { return 0xFF; }
};

TEST(StartUp, MainWindowShowsTheAnalyserItStartedWithAndReportsOneThatCannotBeOpened) {
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        const char* portsVariable; // KVANTIRA_PORTS; null when unset
        bool granted;              // whether the kernel grants the real ports
        std::string shown;
        bool reported;
    } cases[] = {
        {"by default", {}, nullptr, true, "Анализатор: имитатор", false},
        {"real ports", {"--ports=direct"}, nullptr, true, "Анализатор: адрес 320", false},
        {"real ports refused", {}, "direct", false, "Анализатор: не подключен", true},
        {"an option not understood",
         {"--detector=csi"},
         nullptr,
         true,
         "Анализатор: не подключен",
         true},
    };
    for (const auto& c : cases) {
        test::TempDir home;
        test::ManualClock clock;
        AppState state(home.root() + "/", clock);
        state.config.analyser.portBaseIndex = 2;
        test::FakeUiServices ui;
        const auto environment = [&c](const char* name) -> std::optional<std::string> {
            if (c.portsVariable != nullptr && std::string_view(name) == "KVANTIRA_PORTS") {
                return c.portsVariable;
            }
            return std::nullopt;
        };
        const auto openDirect = [&c] {
            return c.granted ? DirectPorts::Opening{std::make_unique<GrantedPorts>(), {}}
                             : DirectPorts::Opening{nullptr, "refused"};
        };
        state.analyser = startAnalyser(c.arguments, clock, ui, environment, openDirect).analyser;
        MainWindow window(state, ui);

        const auto* field = window.findChild<QLabel*>(QStringLiteral("analyserField"));
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->text().toStdString(), c.shown) << c.what;
        EXPECT_EQ(ui.messageIds(),
                  c.reported ? std::vector{StringId::AnalyserUnavailable} : std::vector<StringId>{})
            << c.what;
        if (state.analyser.kind == AnalyserKind::Direct) {
            // A restored configuration or the mode dialog may move the ports to another base.
            state.config.analyser.portBaseIndex = 7;
            window.dispatch(Command::New);
            EXPECT_EQ(field->text().toStdString(), "Анализатор: адрес 370");
        }
    }
}

// Start-up reads the configuration and the printer settings from the program directory; a
// FIFO there in their place must not hold it up: the program starts with the defaults.
TEST(StartUp, FifosInPlaceOfTheProgramsFilesGiveTheDefaults) {
    test::TempDir home;
    const test::FifoGuard configuration(home.path("confadc.cnf"));
    const test::FifoGuard printer(home.path("SPRNS.CNF"));
    test::ManualClock clock;
    AppState state(home.root() + "/", clock);
    EXPECT_FALSE(loadConfiguration(state.config, state.programDirectory));
    EXPECT_EQ(state.config, AppConfig{});
    test::FakeUiServices ui;
    MainWindow window(state, ui);
    window.dispatch(Command::New);
    EXPECT_FALSE(configuration.rescuedAReader() || printer.rescuedAReader());
    EXPECT_TRUE(ui.messages.empty());
}

// Starts the main window as the program does on a configuration file that held record, with the
// demo file open, and checks that it came up visible on the screen at a size the screen holds.
void expectStartsSane(const AppConfig& config, const std::string& what) {
    test::TempDir home;
    AppState state(home.root() + "/");
    state.configurationLoaded = true;
    state.config = config;
    test::FakeUiServices ui;
    MainWindow window(state, ui);
    window.dispatch(Command::New);
    window.showAsConfigured();
    window.dispatch(Command::CommandLineOpen, KV_DEMO_FILE);
    QApplication::processEvents();
    window.grab(); // paints the plot with whatever the record holds

    const QRect available = window.screen()->availableGeometry();
    const QRect placed = window.geometry();
    EXPECT_TRUE(window.isVisible()) << what;
    EXPECT_TRUE(available.contains(placed.center())) << what;
    EXPECT_LE(placed.width(), available.width()) << what;
    EXPECT_LE(placed.height(), available.height()) << what;
    EXPECT_GE(placed.width(), window.minimumSizeHint().width()) << what;
    EXPECT_GE(placed.height(), window.minimumSizeHint().height()) << what;
    ASSERT_NE(window.backingStore(), nullptr) << what;
    EXPECT_LE(window.backingStore()->size().width(), available.width() + 64) << what;
    EXPECT_LE(window.backingStore()->size().height(), available.height() + 64) << what;
}

TEST(WindowPlacement, AStoredRectangleLargerThanTheScreensOrOffThemComesBackOnOne) {
    constexpr std::int32_t kLow = INT_MIN;
    constexpr std::int32_t kHigh = INT_MAX;
    const struct {
        const char* what;
        std::array<std::int32_t, 4> rect; // left, top, right, bottom
        std::int32_t showState;
    } cases[] = {
        {"40,000 pixels square", {0, 0, 40000, 40000}, 1},
        {"40,000 pixels wide and maximised", {-100, 0, 39900, 300}, 3},
        {"far to the lower right", {30000, 30000, 30640, 30480}, 1},
        {"far to the upper left", {-40000, -40000, -39360, -39520}, 1},
        {"the whole integer range", {kLow, kLow, kHigh, kHigh}, 1},
        {"right of the left edge's end", {kHigh - 640, 0, kHigh, 480}, 1},
        {"upside down", {600, 400, 0, 0}, 1},
        {"one pixel", {5, 5, 6, 6}, 0},
    };
    for (const auto& c : cases) {
        AppConfig config;
        config.layout.windowPlacement.normalRect = c.rect;
        config.layout.windowPlacement.showState = c.showState;
        expectStartsSane(config, c.what);
    }
}

TEST(WindowPlacement, RecordsOfRandomOrExtremeBytesStartClean) {
    std::vector<std::pair<std::string, std::array<std::uint8_t, kAppConfigSize>>> records;
    for (const std::uint32_t pattern :
         {0x00000000u, 0xFFFFFFFFu, 0x7F7F7F7Fu, 0x80808080u, 0x80000000u, 0x7FFFFFFFu}) {
        std::array<std::uint8_t, kAppConfigSize> bytes;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<std::uint8_t>(pattern >> (8 * (i % 4)));
        }
        records.emplace_back("every 4 bytes " + std::to_string(pattern), bytes);
    }
    std::mt19937 random(605);
    for (int seed = 0; seed < 6; ++seed) {
        std::array<std::uint8_t, kAppConfigSize> bytes;
        for (std::uint8_t& byte : bytes) {
            byte = static_cast<std::uint8_t>(random());
        }
        records.emplace_back("random " + std::to_string(seed), bytes);
    }
    for (const auto& [what, bytes] : records) {
        AppConfig config;
        overlayAppConfig(config, bytes);
        convertLegacyLayout(config);
        expectStartsSane(config, what);
    }
}

} // namespace
} // namespace kv
