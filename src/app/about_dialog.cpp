#include "app/about_dialog.h"

#include "gui/icons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

void showAboutBox(QWidget* parent) {
    QDialog box(parent);
    box.setWindowTitle(QStringLiteral("О программе"));
    auto* picture = new QLabel(&box);
    picture->setPixmap(kindIcon(0).pixmap(32, 32));
    picture->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(
        QStringLiteral(
            "<b>Kvantira %1</b><br>"
            "Многоканальный анализатор спектров гамма- и рентгеновского излучения<br><br>"
            "Измерение (анализатор или его модель), циклические и рентгеновские<br>"
            "серии со счетными окнами; файлы гистограмм, импорт и экспорт спектров<br>"
            "других анализаторов; график с курсором и границами; калибровка по<br>"
            "энергии и эффективности, сглаживание и выделение пиков, поиск линий<br>"
            "с идентификацией изотопов и база данных изотопов, аппроксимация пика<br>"
            "и многокомпонентная аппроксимация, поиск пиков, математические<br>"
            "операции, шумовая дорожка; текстовый формат, буфер обмена и печать.<br><br>"
            "Вопросы и замечания направляйте разработчикам программы;<br>"
            "описание команд — в меню «Помощь».")
            .arg(QStringLiteral(KV_VERSION)),
        &box);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(&box);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    box.exec();
}

} // namespace kv
