#include "app/list_pane.h"

#include "app/histogram_drag.h"
#include "gui/icons.h"
#include "model/cp1251.h"
#include "model/strings.h"

#include <QDrag>
#include <QHash>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QSignalBlocker>

#include <algorithm>
#include <string>
#include <utility>

namespace kv {

namespace {

constexpr std::array kColumnHeaders{StringId::NameColumn, StringId::CreatedColumn,
                                    StringId::TotalColumn, StringId::ExposureColumn,
                                    StringId::CommentColumn};

constexpr int kImageSize = 16;
// Room beside a cell's text.
constexpr int kCellPadding = 12;

QString cellText(const Histogram& h, ListColumn column) {
    const std::string cell = columnText(h, column);
    const bool cp1251 = column == ListColumn::Name || column == ListColumn::Comment;
    return QString::fromStdString(cp1251 ? utf8FromCp1251(cell) : cell);
}

// Draws a row's check box as the mark state image.
class MarkStyle : public QProxyStyle {
public:
    MarkStyle() : m_marked(markIcon(true)), m_unmarked(markIcon(false)) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorItemViewItemCheck) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        (option->state & State_On ? m_marked : m_unmarked).paint(painter, option->rect);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_IndicatorWidth || metric == PM_IndicatorHeight) {
            return kImageSize;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    QIcon m_marked;
    QIcon m_unmarked;
};

} // namespace

ListPane::ListPane(HistogramList& list, std::function<void(ListPaneChange)> changed,
                   std::function<void(Command)> send, QWidget* parent)
    : QTreeWidget(parent), m_list(list), m_changed(std::move(changed)), m_send(std::move(send)) {
    for (int kind = 0; kind < static_cast<int>(m_kindIcons.size()); ++kind) {
        m_kindIcons[static_cast<std::size_t>(kind)] = kindIcon(kind);
    }
    auto* style = new MarkStyle;
    style->setParent(this);
    setStyle(style);
    setIconSize(QSize(kImageSize, kImageSize));
    m_imagesWidth = imagesWidth();

    setColumnCount(kListColumnCount);
    QStringList headers;
    for (const StringId id : kColumnHeaders) {
        headers << QString::fromUtf8(text(id).data(), static_cast<qsizetype>(text(id).size()));
    }
    setHeaderLabels(headers);
    // Each column starts as wide as its header text plus 12 pixels.
    for (int column = 0; column < kListColumnCount; ++column) {
        setColumnWidth(column,
                       header()->fontMetrics().horizontalAdvance(headers[column]) + kCellPadding);
    }
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setDragDropMode(QAbstractItemView::DragDrop);
    header()->setSectionsClickable(true);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { onHeaderClicked(column); });
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { onCurrentRowChanged(item); });
    connect(this, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int column) { onItemChanged(item, column); });
}

void ListPane::refresh() {
    const QSignalBlocker blocker(this);
    clear();
    // Rows are made apart from the view and added at once: a row in the view would tell the
    // view of every text set.
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_list.histogramCount());
    m_rowHistograms.clear();
    for (int i = 0; i < m_list.histogramCount(); ++i) {
        const Histogram& h = *m_list.histogramAt(i);
        auto* item = new QTreeWidgetItem;
        for (int column = 0; column < kListColumnCount; ++column) {
            item->setText(column, cellText(h, static_cast<ListColumn>(column)));
        }
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
        item->setCheckState(0, h.isMarked() ? Qt::Checked : Qt::Unchecked);
        if (h.kindNumber() < static_cast<int>(m_kindIcons.size())) {
            item->setIcon(0, m_kindIcons[static_cast<std::size_t>(h.kindNumber())]);
        }
        rows.append(item);
        m_rowHistograms.push_back(&h);
    }
    addTopLevelItems(rows);
    selectCurrentRow();
    // Rows are added or changed only through here, so widening to every row is what fitting
    // each new or edited row would give.
    const std::array<int, kListColumnCount> needed = neededWidths();
    for (int column = 0; column < kListColumnCount; ++column) {
        setColumnWidth(column, std::max(columnWidth(column), needed[column]));
    }
}

void ListPane::reorder() {
    // The rows stay as they are, only in the list's new order: nothing is made or measured.
    QHash<const Histogram*, QTreeWidgetItem*> rowOf;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        rowOf.insert(m_rowHistograms[static_cast<std::size_t>(row)], topLevelItem(row));
    }
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_list.histogramCount());
    for (int i = 0; i < m_list.histogramCount(); ++i) {
        const Histogram* h = m_list.histogramAt(i);
        QTreeWidgetItem* item = rowOf.value(h);
        if (!item || rowOf.size() != m_list.histogramCount()) {
            refresh(); // the entries themselves changed
            return;
        }
        rows.append(item);
        m_rowHistograms[static_cast<std::size_t>(i)] = h;
    }
    const QSignalBlocker blocker(this);
    invisibleRootItem()->takeChildren();
    addTopLevelItems(rows);
    selectCurrentRow();
}

void ListPane::selectCurrentRow() {
    if (QTreeWidgetItem* current = topLevelItem(m_list.currentIndex())) {
        setCurrentItem(current);
        scrollToItem(current);
    }
}

void ListPane::setTableForm(bool table) {
    for (int column = 1; column < kListColumnCount; ++column) {
        setColumnHidden(column, !table);
    }
    setHeaderHidden(!table);
    fitColumnsToAll();
}

int ListPane::neededWidth(const QTreeWidgetItem& item, int column) const {
    return fontMetrics().horizontalAdvance(item.text(column)) + kCellPadding +
           (column == 0 ? m_imagesWidth : 0);
}

std::array<int, kListColumnCount> ListPane::neededWidths() {
    // Measuring every text of a list of thousands takes longer than a user may wait. Each text
    // is estimated from its characters' advances; the text with the widest estimate is measured
    // as drawn, and a column takes the larger of the two.
    if (m_advances.empty() || m_advancesFont != font()) {
        m_advances.assign(std::size_t{1} << 16, -1);
        m_advancesFont = font();
    }
    const QFontMetrics metrics = fontMetrics();
    std::array<int, kListColumnCount> needed{};
    for (int column = 0; column < kListColumnCount; ++column) {
        int widest = 0;
        int widestRow = -1;
        for (int row = 0; row < topLevelItemCount(); ++row) {
            int estimate = 0;
            for (const QChar c : topLevelItem(row)->text(column)) {
                int& advance = m_advances[c.unicode()];
                if (advance < 0) {
                    advance = metrics.horizontalAdvance(c);
                }
                estimate += advance;
            }
            if (widestRow < 0 || estimate > widest) {
                widest = estimate;
                widestRow = row;
            }
        }
        if (widestRow >= 0) {
            needed[static_cast<std::size_t>(column)] =
                std::max(widest + kCellPadding + (column == 0 ? m_imagesWidth : 0),
                         neededWidth(*topLevelItem(widestRow), column));
        }
    }
    return needed;
}

int ListPane::imagesWidth() {
    // Where the style starts a name after the mark and kind images, with their margins; taking
    // just the two images' width would cut the end of every name.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasCheckIndicator |
                       QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
    option.rect = QRect(0, 0, 1000, kImageSize + 4);
    option.icon = m_kindIcons[0];
    option.text = QStringLiteral("x");
    return std::max(style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this).left(),
                    2 * kImageSize);
}

void ListPane::fitColumnsToRow(int row) {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (!item) {
        return;
    }
    for (int column = 0; column < kListColumnCount; ++column) {
        setColumnWidth(column, std::max(columnWidth(column), neededWidth(*item, column)));
    }
}

void ListPane::fitColumnsToAll() {
    if (topLevelItemCount() == 0) {
        return;
    }
    const std::array<int, kListColumnCount> needed = neededWidths();
    for (int column = 0; column < kListColumnCount; ++column) {
        setColumnWidth(column, needed[column]);
    }
}

void ListPane::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // The Enter that ends renaming in place reaches the pane too, before the new label is
        // committed; a dialog opened now would write the old name back.
        if (state() != EditingState) {
            m_send(Command::NameAndComment);
        }
        return;
    }
    if (key == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) {
        m_send(Command::Delete);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void ListPane::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    // A double click on the check box is the check box's own (two toggles), not the dialog's.
    if (event->button() != Qt::LeftButton || !index.isValid() ||
        edit(index, DoubleClicked, event)) {
        return;
    }
    m_send(Command::NameAndComment);
}

bool ListPane::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // Only the name is a label; the other columns show record fields. F2 edits the name
    // wherever the focus is in the row.
    if (index.column() == 0) {
        return QTreeWidget::edit(index, trigger, event);
    }
    return trigger == EditKeyPressed && QTreeWidget::edit(index.siblingAtColumn(0), trigger, event);
}

QStringList ListPane::mimeTypes() const {
    return {QString::fromLatin1(kEntryMimeType)};
}

QMimeData* ListPane::mimeData(const QList<QTreeWidgetItem*>& items) const {
    const Histogram* h =
        items.isEmpty() ? nullptr : m_list.histogramAt(indexOfTopLevelItem(items[0]));
    return h ? makeEntryDragData(*h) : nullptr;
}

void ListPane::startDrag(Qt::DropActions) {
    QTreeWidgetItem* item = currentItem();
    if (!item) {
        return;
    }
    // The drop moves the rows itself, so the view must not remove anything afterwards.
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeData({item}));
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

int ListPane::dropRow(const QDropEvent& event) const {
    if (!isOwnEntryDrag(event.mimeData())) {
        return -1;
    }
    QTreeWidgetItem* target = itemAt(event.position().toPoint());
    return target ? indexOfTopLevelItem(target) : -1;
}

void ListPane::dragEnterEvent(QDragEnterEvent* event) {
    // A drag from another copy is left to the main window, which takes the histogram.
    if (isOwnEntryDrag(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void ListPane::dragMoveEvent(QDragMoveEvent* event) {
    if (dropRow(*event) >= 0) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void ListPane::dropEvent(QDropEvent* event) {
    const int row = dropRow(*event);
    if (row < 0) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    m_list.moveEntry(m_list.currentIndex(), row);
    reorder();
    m_changed(ListPaneChange::Entries);
}

void ListPane::onCurrentRowChanged(QTreeWidgetItem* item) {
    if (!item) {
        return;
    }
    m_list.setCurrentIndex(indexOfTopLevelItem(item));
    m_changed(ListPaneChange::Current);
}

void ListPane::onItemChanged(QTreeWidgetItem* item, int column) {
    const int index = indexOfTopLevelItem(item);
    const Histogram* h = m_list.histogramAt(index);
    if (column != 0 || !h) {
        return;
    }
    if ((item->checkState(0) == Qt::Checked) != h->isMarked()) {
        m_list.toggleMark(index);
        m_changed(ListPaneChange::Entries);
        return;
    }
    const QString label = item->text(0);
    if (label == cellText(*h, ListColumn::Name)) {
        return;
    }
    // An emptied label counts as cancelled editing.
    if (!label.isEmpty()) {
        m_list.rename(index, cp1251FromUtf8(label.toStdString()));
    }
    {
        const QSignalBlocker blocker(this);
        item->setText(0, cellText(*m_list.histogramAt(index), ListColumn::Name));
    }
    fitColumnsToRow(index);
    m_changed(ListPaneChange::Entries);
}

void ListPane::onHeaderClicked(int column) {
    m_list.sortByColumn(static_cast<ListColumn>(column));
    reorder();
    m_changed(ListPaneChange::Entries);
}

} // namespace kv
