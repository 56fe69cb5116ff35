#pragma once

// The list pane: the open histograms in list order, one row each. In table form it shows the
// five columns, in list form the names only. The selected row is the current histogram and the
// check box of a row is its mark.

#include "model/histogram_list.h"

#include <QTreeWidget>

#include <functional>

namespace kv {

class ListPane : public QTreeWidget {
public:
    // changed runs after the user has picked another current histogram or toggled a mark.
    ListPane(HistogramList& list, std::function<void()> changed, QWidget* parent);

    // Rebuilds the rows from the list and selects the current entry.
    void refresh();

    // Table form (five columns) or list form (names only).
    void setTableForm(bool table);

private:
    void onCurrentRowChanged(QTreeWidgetItem* item);
    void onItemChanged(QTreeWidgetItem* item, int column);

    HistogramList& m_list;
    std::function<void()> m_changed;
};

} // namespace kv
