#pragma once

// The list pane: the open histograms in list order, one row each. In table form it shows the
// five columns, in list form the names only. The selected row is the current histogram; the
// check box of a row, drawn as the mark state image, is its mark, and the row's icon shows its
// kind number. Labels are edited in place (F2, or a click on the current row), a header click
// sorts, and dragging a row onto another row moves it there; dropped on another running copy of
// the program, the row's histogram is added to that copy's list.

#include "gui/command.h"
#include "model/histogram_list.h"

#include <QFont>
#include <QIcon>
#include <QTreeWidget>

#include <array>
#include <functional>
#include <vector>

namespace kv {

// What the user changed in the list pane: the current entry, or the entries (a mark toggled,
// a label renamed, the list sorted or an entry moved).
enum class ListPaneChange { Current, Entries };

class ListPane : public QTreeWidget {
public:
    // changed runs after the user has picked another current histogram, toggled a mark,
    // renamed, sorted or moved an entry. send runs the commands the pane starts: the name
    // dialog (Enter, double click) and deletion (Ctrl+Delete).
    ListPane(HistogramList& list, std::function<void(ListPaneChange)> changed,
             std::function<void(Command)> send, QWidget* parent);

    // Rebuilds the rows from the list, selects the current entry and widens the columns to
    // every row (columns never shrink here).
    void refresh();

    // Puts the rows in the list's order after it was sorted or an entry moved, without making
    // them anew; refreshes when the list holds other entries than the rows.
    void reorder();

    // Table form (five columns) or list form (names only). With entries, each column is then
    // set to what its widest row needs, narrower than before if need be.
    void setTableForm(bool table);

    // Widens each column that is narrower than row's text needs.
    void fitColumnsToRow(int row);
    // Sets each column to the widest need over all rows; nothing with no rows.
    void fitColumnsToAll();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void onCurrentRowChanged(QTreeWidgetItem* item);
    void onItemChanged(QTreeWidgetItem* item, int column);
    void onHeaderClicked(int column);
    // The pixels a cell's text needs: text width plus 12, plus the images in column 0.
    int neededWidth(const QTreeWidgetItem& item, int column) const;
    // Each column's need over all rows.
    std::array<int, kListColumnCount> neededWidths();
    void selectCurrentRow();
    int imagesWidth();
    // The row a drag of ours would land on, or -1 for a drag from elsewhere or no row.
    int dropRow(const QDropEvent& event) const;

    HistogramList& m_list;
    std::function<void(ListPaneChange)> m_changed;
    std::function<void(Command)> m_send;
    std::array<QIcon, 6> m_kindIcons;
    int m_imagesWidth = 0;
    std::vector<const Histogram*> m_rowHistograms; // of each row, in row order
    std::vector<int> m_advances; // pixels of each character in m_advancesFont; -1 not yet known
    QFont m_advancesFont;
};

} // namespace kv
