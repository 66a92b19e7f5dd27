// The "Exceptions" pane: the sites cleaning is switched off for, each with a
// button that switches it back on at once; an empty state when there are none.
// The pane reads the store on refresh(), which its owner calls after the store
// announced a change (never from inside the announcement: the store announces
// under its lock). The list changes only when the exceptions did, and then in
// place: rows that stay keep their widgets and the list keeps its scroll
// position and current row. A removed row hands the keyboard focus to the
// next row's button (the previous one's after the last row), and the last
// one to the empty state.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "ScourletCore/rules/DomainExceptionStore.h"

class QStackedWidget;

namespace scourlet::app {

class WidgetRowList;

class DomainExceptionsPane final : public QWidget {
    Q_OBJECT
public:
    explicit DomainExceptionsPane(std::shared_ptr<DomainExceptionStore> store,
                                  QWidget* parent = nullptr);

    void refresh();

private:
    void insertRow(int index, const std::string& host);

    std::shared_ptr<DomainExceptionStore> store_;
    std::vector<std::string> shownHosts_;
    QStackedWidget* states_ = nullptr;
    QWidget* emptyState_ = nullptr;
    WidgetRowList* list_ = nullptr;
};

}  // namespace scourlet::app
