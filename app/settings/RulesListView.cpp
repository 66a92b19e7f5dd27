#include "app/settings/RulesListView.h"

#include <QKeyEvent>

namespace scourlet::app {

void RulesListView::drawBranches(QPainter* painter, const QRect& rect,
                                 const QModelIndex& index) const {
    if (index.parent().isValid()) {
        QTreeView::drawBranches(painter, rect, index);
    }
}

void RulesListView::keyPressEvent(QKeyEvent* event) {
    if ((event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Backspace) &&
        currentIndex().isValid()) {
        Q_EMIT deleteRequested(currentIndex());
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

}  // namespace scourlet::app
