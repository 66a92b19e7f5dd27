#include "app/settings/DomainExceptionsPane.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/settings/DisplayedText.h"
#include "app/settings/ListRow.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/TextColours.h"
#include "app/settings/WidgetRowList.h"
#include "app/shell/SymbolImage.h"

namespace scourlet::app {

namespace {

constexpr int kHostRole = Qt::UserRole;

QColor secondaryColour(const QWidget* widget) {
    return widget->palette().color(QPalette::PlaceholderText);
}

}  // namespace

DomainExceptionsPane::DomainExceptionsPane(std::shared_ptr<DomainExceptionStore> store, QWidget* parent)
    : QWidget(parent), store_(std::move(store)) {
    setObjectName(QStringLiteral("exceptions-pane"));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(12);
    auto* intro = plainLabel(QStringLiteral("Scourlet will leave links from these domains unchanged."), this);
    intro->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(intro);

    states_ = new QStackedWidget(this);
    emptyState_ = new QWidget;
    emptyState_->setObjectName(QStringLiteral("exceptions-empty"));
    auto* empty = new QVBoxLayout(emptyState_);
    empty->setSpacing(8);
    empty->addStretch(1);
    auto* image = new QLabel(emptyState_);
    image->setObjectName(QStringLiteral("exceptions-empty-image"));
    image->setPixmap(symbolPixmap("hand.raised", 32, secondaryColour(this), devicePixelRatioF()));
    image->setAlignment(Qt::AlignCenter);
    empty->addWidget(image);
    auto* none = plainLabel(QStringLiteral("No site exceptions yet"), emptyState_);
    none->setAlignment(Qt::AlignCenter);
    none->setForegroundRole(QPalette::PlaceholderText);
    empty->addWidget(none);
    auto* hint = plainLabel(QStringLiteral("Use Disable Cleaning for This Site after a clean to add one."),
                            emptyState_);
    hint->setAlignment(Qt::AlignCenter);
    hint->setContentsMargins(40, 0, 40, 0);
    makeCaption(hint);
    empty->addWidget(hint);
    empty->addStretch(1);
    list_ = new WidgetRowList;
    list_->setObjectName(QStringLiteral("exceptions-list"));
    // Read as the pane's list, with what it holds, rather than as a nameless list.
    list_->setAccessibleName(QStringLiteral("Exceptions"));
    list_->setAccessibleDescription(intro->text());
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    states_->addWidget(emptyState_);
    states_->addWidget(list_);
    // Takes the focus when the last row goes (the list it stands for is
    // hidden then), though Tab passes it by: read as what it says. Named once
    // in the pane: a parentless widget would be read as a window.
    emptyState_->setAccessibleName(none->text());
    emptyState_->setAccessibleDescription(hint->text());
    layout->addWidget(states_, 1);
    refresh();
}

void DomainExceptionsPane::refresh() {
    std::vector<std::string> hosts;
    for (const DomainException& exception : store_->disabledDomains()) {
        hosts.push_back(exception.host);
    }
    if (hosts == shownHosts_) {
        return;  // the announcement was about something else
    }
    // In place: rows that stay keep their widgets, so the current row and a
    // pointer over a button stay where they were, and the row at the top of
    // the view stays there.
    QListWidgetItem* top = list_->itemAt(QPoint(1, 1));
    const QString topHost = top == nullptr ? QString() : top->data(kHostRole).toString();
    for (int row = list_->count() - 1; row >= 0; --row) {
        const std::string host = list_->item(row)->data(kHostRole).toString().toStdString();
        if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
            list_->removeRow(row);
        }
    }
    for (int row = 0; row < static_cast<int>(hosts.size()); ++row) {
        const QString host = QString::fromStdString(hosts[static_cast<std::size_t>(row)]);
        if (row < list_->count() && list_->item(row)->data(kHostRole).toString() == host) {
            continue;
        }
        // A host further down (the store reordered) is taken out and made again here.
        for (int later = row + 1; later < list_->count(); ++later) {
            if (list_->item(later)->data(kHostRole).toString() == host) {
                list_->removeRow(later);
                break;
            }
        }
        insertRow(row, hosts[static_cast<std::size_t>(row)]);
    }
    while (list_->count() > static_cast<int>(hosts.size())) {
        list_->removeRow(list_->count() - 1);
    }
    for (int row = 0; row < list_->count() && !topHost.isEmpty(); ++row) {
        if (list_->item(row)->data(kHostRole).toString() == topHost) {
            list_->scrollToItem(list_->item(row), QAbstractItemView::PositionAtTop);
            break;
        }
    }
    shownHosts_ = std::move(hosts);
    states_->setCurrentWidget(shownHosts_.empty() ? emptyState_ : static_cast<QWidget*>(list_));
}

void DomainExceptionsPane::insertRow(int index, const std::string& storedHost) {
    const QString host = QString::fromStdString(storedHost);
    // Read by the host as stored; shown with anything invisible in it made visible.
    auto* row = new ListRow(host);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(6, 2, 6, 2);
    auto* globe = new QLabel(row);
    globe->setObjectName(QStringLiteral("exception-globe"));
    globe->setPixmap(symbolPixmap("globe", 16, secondaryColour(this), devicePixelRatioF()));
    rowLayout->addWidget(globe);
    auto* name = plainLabel(qtext(displayedText(storedHost)), row);
    name->setObjectName(QStringLiteral("exception-host"));
    rowLayout->addWidget(name, 1);
    auto* remove = new QToolButton(row);
    remove->setObjectName(QStringLiteral("exception-remove"));
    remove->setIcon(QIcon(symbolPixmap("trash", 16, failureColour(), devicePixelRatioF())));
    remove->setAutoRaise(true);
    const QString label = QStringLiteral("Re-enable cleaning for ") + host;
    remove->setAccessibleName(label);
    setPlainToolTip(remove, label);
    rowLayout->addWidget(remove);
    QPointer<DomainExceptionsPane> self(this);
    connect(remove, &QToolButton::clicked, this, [self, storedHost] {
        if (!self) {
            return;
        }
        self->store_->enable(storedHost);
        // Later: the row that was clicked must outlive its own signal.
        QMetaObject::invokeMethod(self.data(), [self] { if (self) self->refresh(); },
                                  Qt::QueuedConnection);
    });
    list_->insertRow(index, row)->setData(kHostRole, host);
}

}  // namespace scourlet::app
