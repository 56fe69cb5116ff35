// The analyser the desktop program starts with, and the status bar field that names it.

#include "acquisition/port_selection.h"
#include "app/main_window.h"
#include "gui/app_state.h"
#include "model/configuration_file.h"
#include "support/fake_ui_services.h"
#include "support/fifo_guard.h"
#include "support/manual_clock.h"
#include "support/temp_dir.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <optional>
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

} // namespace
} // namespace kv
