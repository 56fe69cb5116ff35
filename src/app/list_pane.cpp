#include "app/list_pane.h"

#include "model/cp1251.h"
#include "model/strings.h"

#include <QHeaderView>
#include <QSignalBlocker>

#include <array>
#include <string>
#include <utility>

namespace kv {

namespace {

constexpr std::array kColumnHeaders{StringId::NameColumn, StringId::CreatedColumn,
                                    StringId::TotalColumn, StringId::ExposureColumn,
                                    StringId::CommentColumn};

QString cellText(const Histogram& h, ListColumn column) {
    const std::string cell = columnText(h, column);
    const bool cp1251 = column == ListColumn::Name || column == ListColumn::Comment;
    return QString::fromStdString(cp1251 ? utf8FromCp1251(cell) : cell);
}

} // namespace

ListPane::ListPane(HistogramList& list, std::function<void()> changed, QWidget* parent)
    : QTreeWidget(parent), m_list(list), m_changed(std::move(changed)) {
    setColumnCount(kListColumnCount);
    QStringList headers;
    for (const StringId id : kColumnHeaders) {
        headers << QString::fromUtf8(text(id).data(), static_cast<qsizetype>(text(id).size()));
    }
    setHeaderLabels(headers);
    // Each column starts as wide as its header text plus 12 pixels.
    for (int column = 0; column < kListColumnCount; ++column) {
        setColumnWidth(column, header()->fontMetrics().horizontalAdvance(headers[column]) + 12);
    }
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { onCurrentRowChanged(item); });
    connect(this, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int column) { onItemChanged(item, column); });
}

void ListPane::refresh() {
    const QSignalBlocker blocker(this);
    clear();
    for (int i = 0; i < m_list.histogramCount(); ++i) {
        const Histogram& h = *m_list.histogramAt(i);
        auto* item = new QTreeWidgetItem(this);
        for (int column = 0; column < kListColumnCount; ++column) {
            item->setText(column, cellText(h, static_cast<ListColumn>(column)));
        }
        item->setTextAlignment(static_cast<int>(ListColumn::Total), Qt::AlignRight);
        item->setTextAlignment(static_cast<int>(ListColumn::Exposure), Qt::AlignRight);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, h.isMarked() ? Qt::Checked : Qt::Unchecked);
    }
    if (QTreeWidgetItem* current = topLevelItem(m_list.currentIndex())) {
        setCurrentItem(current);
        scrollToItem(current);
    }
    for (int column = 0; column < kListColumnCount; ++column) {
        if (!isColumnHidden(column)) {
            resizeColumnToContents(column);
        }
    }
}

void ListPane::setTableForm(bool table) {
    for (int column = 1; column < kListColumnCount; ++column) {
        setColumnHidden(column, !table);
    }
    setHeaderHidden(!table);
}

void ListPane::onCurrentRowChanged(QTreeWidgetItem* item) {
    if (!item) {
        return;
    }
    m_list.setCurrentIndex(indexOfTopLevelItem(item));
    m_changed();
}

void ListPane::onItemChanged(QTreeWidgetItem* item, int column) {
    const int index = indexOfTopLevelItem(item);
    if (column != 0 || (item->checkState(0) == Qt::Checked) == m_list.isMarked(index)) {
        return;
    }
    m_list.toggleMark(index);
    m_changed();
}

} // namespace kv
