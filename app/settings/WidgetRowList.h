// A list whose rows are widgets (ListRow: a symbol, a text, a button) rather
// than texts, and which reads so through assistive technology: a list of items,
// each named by what its row stands for and holding that row's controls.
// A plain QListWidget reads rows given by setItemWidget() as empty cells with
// nothing inside, so a screen reader finds neither the text nor the buttons.
//
//   auto* list = new WidgetRowList(this);
//   auto* row = new ListRow(host);   // filled with its layout and children first
//   list->insertRow(list->count(), row);
//
// Every row of the list is inserted through insertRow() and taken out through
// removeRow(), which tell assistive technology of the change. A row taken out
// with the keyboard focus inside hands the focus to the same control of the
// next row (the previous one when it was the last), or to the list when no row
// is left. Main thread only.
#pragma once

#include <QListWidget>

namespace scourlet::app {

class ListRow;

class WidgetRowList final : public QListWidget {
    Q_OBJECT
public:
    explicit WidgetRowList(QWidget* parent = nullptr);

    // Puts `row` at `index` (the list takes it), its item as tall as the row
    // asks; returns the row's item.
    QListWidgetItem* insertRow(int index, ListRow* row);
    // Takes the row at `index` out of the list and deletes it with its item.
    void removeRow(int index);
    // The row at `index`; null when there is none.
    ListRow* rowAt(int index) const;

private:
    void passFocusTo(int index, const QString& objectName);
};

}  // namespace scourlet::app
