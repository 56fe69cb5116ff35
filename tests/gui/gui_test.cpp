#include "gui/dialog_fields.h"
#include "gui/help_window.h"
#include "gui/qt_ui_services.h"
#include "model/strings.h"
#include "support/fifo_guard.h"
#include "support/main_window_tests.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>

namespace kv {
namespace {

TEST(DialogFields, FormatAndReadBack) {
    QLineEdit field;
    setDialogDouble(field, "%0.2f", 3.14159);
    EXPECT_EQ(field.text(), QStringLiteral("3.14"));
    setDialogDouble(field, "%0.2f", 1e30);
    EXPECT_EQ(field.text().size(), 19);

    double target = 42.0;
    field.setText(QStringLiteral("1e999"));
    getDialogDouble(field, target);
    EXPECT_EQ(target, 42.0);
    field.setText(QStringLiteral("буквы"));
    getDialogDouble(field, target);
    EXPECT_EQ(target, 0.0);
}

TEST(DialogFields, KeepTheDecimalPointUnderARussianLocale) {
    if (!std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"))
        GTEST_SKIP() << "no ru_RU.UTF-8 locale on this machine";
    QLineEdit field;
    setDialogDouble(field, "%0.2f", 2.5);
    const QString shown = field.text();
    double target = 0.0;
    getDialogDouble(field, target);
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(shown, QStringLiteral("2.50"));
    EXPECT_EQ(target, 2.5);
}

TEST(QtUiServices, TranslatesTableFiltersToQtNameFilters) {
    EXPECT_EQ(
        qtNameFilters(text(StringId::HistogramFilter)),
        QStringList({QStringLiteral("Гистограммы (*.HST)"), QStringLiteral("Все файлы (*)")}));
    EXPECT_EQ(qtNameFilters(text(StringId::TextFileFilter)).at(1),
              QStringLiteral("Файлы данных (*.DAT)"));
    EXPECT_EQ(qtNameFilters("Spectra|*.HST;*.SPE|dangling"),
              QStringList({QStringLiteral("Spectra (*.HST *.SPE)")}));
}

TEST(QtUiServices, ClipboardTextComesBackWithCrLf) {
    QtUiServices ui("/nonexistent/");
    ui.setClipboardText("a\nb\r\nc\n");
    EXPECT_EQ(ui.clipboardText(), "a\r\nb\r\nc\r\n");
    ui.setClipboardText("1\t2\r\n");
    EXPECT_EQ(ui.clipboardText(), "1\t2\r\n");
}

HelpWindow* openHelpWindow() {
    HelpWindow* found = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* help = dynamic_cast<HelpWindow*>(widget); help && help->isVisible()) {
            EXPECT_EQ(found, nullptr) << "more than one help window";
            found = help;
        }
    }
    return found;
}

// A program directory of its own; the help window a test leaves open is closed after it.
struct Help : ::testing::Test {
    test::TempDir directory;

    ~Help() override {
        if (HelpWindow* window = openHelpWindow()) {
            window->close();
        }
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(Help, OpensAtTheContextsTopicAndInstallsTheFile) {
    QtUiServices ui(directory.root() + "/");
    ui.showHelp(17);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(directory.path("Mirta.hlp"))));
    HelpWindow* window = openHelpWindow();
    ASSERT_NE(window, nullptr);
    window->resize(400, 200);
    ui.showHelp(13);
    ASSERT_EQ(openHelpWindow(), window);
    const QPoint topLeft = window->viewport()->rect().topLeft() + QPoint(2, 2);
    EXPECT_EQ(window->cursorForPosition(topLeft).block().text().toStdString(), "Сглаживание");
}

TEST_F(Help, KeepsTheProgramDirectorysOwnFile) {
    test::writeText(directory.path("Mirta.hlp"), "<p>x</p>");
    QtUiServices ui(directory.root() + "/");
    ui.showHelp(5);
    ASSERT_NE(openHelpWindow(), nullptr);
    EXPECT_EQ(openHelpWindow()->toPlainText().toStdString(), "x");
    EXPECT_EQ(test::readText(directory.path("Mirta.hlp")), "<p>x</p>");
}

TEST_F(Help, PassesOverAFifoInPlaceOfItsFile) {
    const test::FifoGuard fifo(directory.path("Mirta.hlp"));
    QtUiServices ui(directory.root() + "/");
    ui.showHelp(13);
    ASSERT_NE(openHelpWindow(), nullptr);
    EXPECT_FALSE(fifo.rescuedAReader());
    EXPECT_FALSE(openHelpWindow()->toPlainText().isEmpty()) << "the shipped help instead";
    EXPECT_TRUE(std::filesystem::is_fifo(fifo.path()));
}

TEST_F(Help, FromAModalDialogTakesInputWhileTheDialogIsOpen) {
    QWidget owner;
    owner.show();
    QtUiServices ui(directory.root() + "/", &owner);
    QDialog dialog(&owner);
    auto* help = new QPushButton(QStringLiteral("Помощь"), &dialog);
    QObject::connect(help, &QPushButton::clicked, [&ui] { ui.showHelp(28); });
    // Open already from the main window, then blocked as the dialog opens.
    ui.showHelp(28);
    int scrolledBy = -1;
    QTimer::singleShot(0, &dialog, [&] {
        help->click();
        HelpWindow* window = openHelpWindow();
        ASSERT_NE(window, nullptr);
        window->resize(300, 150);
        QScrollBar* bar = window->verticalScrollBar();
        const int before = bar->value();
        // Through the window system, which holds back input from windows a modal one blocks.
        QTest::keyClick(window->windowHandle(), Qt::Key_PageDown);
        scrolledBy = bar->value() - before;
        dialog.accept();
    });
    dialog.exec();
    EXPECT_GT(scrolledBy, 0);
    EXPECT_NE(openHelpWindow(), nullptr) << "the dialog has gone; the help stays open";
}

} // namespace
} // namespace kv

int main(int argc, char** argv) {
    return kv::test::runMainWindowTests(argc, argv);
}
