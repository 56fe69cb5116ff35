#include "app/name_dialog.h"

#include "gui/dialog_fields.h"
#include "model/cp1251.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace kv {

namespace {

constexpr int kHelpContext = 9;

QString fromCp1251(std::string_view text) {
    return QString::fromStdString(utf8FromCp1251(text));
}

std::string toCp1251(const QLineEdit& field) {
    return cp1251FromUtf8(field.text().toStdString());
}

} // namespace

NameDialog::NameDialog(Histogram& histogram, UiServices& ui, QWidget* parent)
    : QDialog(parent), m_histogram(histogram), m_name(new QLineEdit(this)),
      m_comment(new QLineEdit(this)), m_exposure(new QLineEdit(this)),
      m_ok(new QPushButton(QStringLiteral("OK"), this)),
      m_cancel(new QPushButton(QStringLiteral("Отменить"), this)),
      m_help(new QPushButton(QStringLiteral("Помощь"), this)) {
    setWindowTitle(QStringLiteral("Гистограмма"));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Имя:"), m_name);
    fields->addRow(QStringLiteral("Комментарий:"), m_comment);
    fields->addRow(QStringLiteral("Экспозиция"), m_exposure);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {m_ok, m_cancel, m_help}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    m_ok->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    m_name->setMinimumWidth(320);

    m_name->setText(fromCp1251(histogram.name.view()));
    m_comment->setText(fromCp1251(histogram.comment.view()));
    setDialogDouble(*m_exposure, "%0.2f", histogram.exposure);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_help, &QPushButton::clicked, this, [&ui] { ui.showHelp(kHelpContext); });
}

QLineEdit* NameDialog::field(NameDialogControl id) const {
    switch (id) {
    case NameDialogControl::Name:
        return m_name;
    case NameDialogControl::Comment:
        return m_comment;
    case NameDialogControl::Exposure:
        return m_exposure;
    default:
        return nullptr;
    }
}

QPushButton* NameDialog::button(NameDialogControl id) const {
    switch (id) {
    case NameDialogControl::Ok:
        return m_ok;
    case NameDialogControl::Cancel:
        return m_cancel;
    case NameDialogControl::Help:
        return m_help;
    default:
        return nullptr;
    }
}

void NameDialog::accept() {
    m_histogram.name.assign(toCp1251(*m_name));
    m_histogram.comment.assign(toCp1251(*m_comment));
    getDialogDouble(*m_exposure, m_histogram.exposure);
    QDialog::accept();
}

} // namespace kv
