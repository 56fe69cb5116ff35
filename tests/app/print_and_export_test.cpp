// Text export, clipboard, page setup and printing driven through the main window, offscreen.

#include "app/main_window.h"
#include "app/page_setup_dialog.h"
#include "app/text_export_dialogs.h"
#include "gui/app_state.h"
#include "gui/qt_ui_services.h"
#include "model/clipboard_text.h"
#include "support/fake_ui_services.h"
#include "support/main_window_tests.h"
#include "support/temp_dir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <filesystem>

namespace kv {
namespace {

struct PrintFixture : ::testing::Test {
    test::TempDir home;
    AppState state{home.root() + "/"};
    test::FakeUiServices ui;
    MainWindow window{state, ui};

    void addHistograms(int n) {
        state.list.setChannelCount(256);
        for (int k = 0; k < n; ++k) {
            auto h = state.list.newHistogram();
            for (int c = 0; c < 256; ++c) {
                h->channels[static_cast<std::size_t>(c)] = 1000 / (1 + (c - 128) * (c - 128) / 50);
            }
            h->kind = kMarkedBit;
            h->exposure = 10.0;
            state.list.addHistogram(std::move(h));
        }
    }
};

TEST_F(PrintFixture, ExportAsksItsOptionsAndOverwriteAllOnce) {
    addHistograms(3);
    using O = TextExportOptionsDialog::Control;
    const auto perHistogram = [](TextExportOptionsDialog& d) {
        static_cast<QAbstractButton*>(d.control(O::Help))->click();
        static_cast<QAbstractButton*>(d.control(O::PerHistogram))->click();
        static_cast<QAbstractButton*>(d.control(O::Ok))->click();
    };
    ui.saveAnswers = {home.path("s.dat")};
    test::answerNext<TextExportOptionsDialog>(perHistogram);
    window.dispatch(Command::SaveAsText);
    ASSERT_TRUE(std::filesystem::exists(home.path("s0003.dat")));
    EXPECT_EQ(state.config.textExport.exportOneFile, 0);
    EXPECT_EQ(ui.helpContexts, std::vector{40});

    // All three exist now: one "Переписать все" covers them.
    ui.saveAnswers = {home.path("s.dat")};
    int asked = 0;
    test::answerNext<TextExportOptionsDialog>([&](TextExportOptionsDialog& d) {
        test::answerNext<OverwriteDialog>([&](OverwriteDialog& o) {
            ++asked;
            o.button(OverwriteDialog::Control::OverwriteAll)->click();
        });
        static_cast<QAbstractButton*>(d.control(O::Ok))->click();
    });
    window.dispatch(Command::SaveAsText);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(ui.messages.empty());
}

// The parser refuses LF-only text; the desktop clipboard hands it over with CR LF.
TEST_F(PrintFixture, TextWithLineFeedsAlonePastesThroughTheDesktopClipboard) {
    addHistograms(1);
    QtUiServices desktop(state.programDirectory);
    desktop.setClipboardText("0 5\n1 6\n2 7\n");
    ASSERT_NE(pasteFromClipboard(state.list, desktop), nullptr);
    EXPECT_EQ(state.list.currentHistogram()->channels[2], 7);
}

TEST_F(PrintFixture, PageSetupStoresMarginsAndPosition) {
    using C = PageSetupDialog::Control;
    test::answerNext<PageSetupDialog>([](PageSetupDialog& d) {
        d.margin(C::Bottom)->setValue(25);
        d.positionButton(6)->click();
        d.accept();
    });
    window.dispatch(Command::PageSetup);
    EXPECT_EQ(window.printSettings().marginBottom, 25);
    EXPECT_EQ(window.printSettings().pagePosition, 6);
}

// The bounding box of the non-white pixels of a page rendered at dpi, in pixels.
QRect inkOf(const QImage& page) {
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (qGray(page.pixel(x, y)) < 200) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST_F(PrintFixture, QuarterPageWithTenMillimetreMarginsToPdf) {
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty()) {
        GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    }
    addHistograms(2);
    test::answerNext<PageSetupDialog>([](PageSetupDialog& d) {
        d.positionButton(static_cast<int>(PagePosition::TopLeftQuarter))->click();
        d.accept();
    });
    window.dispatch(Command::PageSetup);
    const QString pdf = QString::fromStdString(home.path("plot.pdf"));
    window.setPrintDialog([&pdf](QPrinter& printer, bool) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        return true;
    });
    window.dispatch(Command::Print);
    ASSERT_TRUE(ui.messages.empty());

    constexpr double kDpi = 50.0;
    const QString png = QString::fromStdString(home.path("page"));
    ASSERT_EQ(QProcess::execute(pdftoppm, {"-png", "-r", "50", "-singlefile", pdf, png}), 0);
    const QImage page(png + ".png");
    ASSERT_FALSE(page.isNull());
    const auto px = [](double mm) { return mm * kDpi / 25.4; };
    const QRect ink = inkOf(page);
    // 10 mm in from each edge of the top-left quarter of A4 (105 x 148.5 mm); the limit labels
    // under the frame have no descenders, so the ink ends a little above the bottom margin.
    EXPECT_NEAR(ink.left(), px(10), 2);
    EXPECT_NEAR(ink.top(), px(10), 2);
    EXPECT_NEAR(ink.right() + 1, px(95), 2);
    EXPECT_LE(ink.bottom() + 1, px(138.5) + 1);
    EXPECT_GE(ink.bottom() + 1, px(138.5) - 4);

    // The printer chosen in the dialog is kept and written at exit.
    const auto description = decodePrinterDescription(*window.printSettings().printer);
    ASSERT_TRUE(description);
    EXPECT_EQ(description->output, PrinterOutput::PdfFile);
    EXPECT_EQ(description->pageWidthTenthMm, 2100);
    ui.answers = {Answer::No};
    window.close();
    EXPECT_EQ(loadPrintSettings(state.programDirectory), window.printSettings());
}

TEST_F(PrintFixture, NoPrintSettingsFileWithoutAPrintDialog) {
    addHistograms(1);
    window.dispatch(Command::Copy);
    ui.answers = {Answer::No};
    window.close();
    EXPECT_TRUE(std::filesystem::exists(home.path("confadc.cnf")));
    EXPECT_FALSE(std::filesystem::exists(home.path("SPRNS.CNF")));
}

} // namespace
} // namespace kv
