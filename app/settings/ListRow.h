// One row of a WidgetRowList: a widget holding the row's symbol, text and
// buttons. Assistive technology reads it as a list item named `name` (the
// text the row stands for, a host say) and reaches the row's own controls
// inside it.
//
//   auto* row = new ListRow(host);
//   auto* layout = new QHBoxLayout(row);
//   layout->addWidget(plainLabel(host, row));
//   list->insertRow(0, row);
//
// Main thread only.
#pragma once

#include <QWidget>

namespace scourlet::app {

class ListRow final : public QWidget {
    Q_OBJECT
public:
    explicit ListRow(const QString& name, QWidget* parent = nullptr);
};

}  // namespace scourlet::app
