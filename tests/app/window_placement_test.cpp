// The main window started on configuration records no running program wrote: a placement far
// larger than the screens or far off them, and records of random or extreme bytes.

#include "app/main_window.h"
#include "gui/app_state.h"
#include "model/app_config.h"
#include "support/fake_ui_services.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QBackingStore>
#include <QScreen>

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <random>
#include <string>

namespace kv {
namespace {

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
