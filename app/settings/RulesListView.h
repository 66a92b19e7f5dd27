// The tree of the "Rules" pane. Sections open and close with their own
// chevron buttons (SectionChevron, placed over the branch area), so the view
// draws no branch arrows of its own for them; the Delete and Backspace keys
// ask to delete the current row, which the pane does for a custom rule only.
//
// Main thread only.
#pragma once

#include <QTreeView>

namespace scourlet::app {

class RulesListView final : public QTreeView {
    Q_OBJECT
public:
    using QTreeView::QTreeView;

Q_SIGNALS:
    void deleteRequested(const QModelIndex& index);

protected:
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace scourlet::app
