#include "app/settings/DomainExceptionsPane.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QListWidget>
#include <QPointer>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/settings/DisplayedText.h"
#include "app/settings/PlainLabel.h"

namespace scourlet::app {

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
    empty->addStretch(1);
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
    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("exceptions-list"));
    list_->setAlternatingRowColors(true);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    states_->addWidget(emptyState_);
    states_->addWidget(list_);
    layout->addWidget(states_, 1);
    refresh();
}

void DomainExceptionsPane::refresh() {
    list_->clear();
    const std::vector<DomainException> domains = store_->disabledDomains();
    for (const DomainException& exception : domains) {
        const QString host = QString::fromStdString(exception.host);
        auto* row = new QWidget;
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(6, 2, 6, 2);
        auto* globe = plainLabel(QStringLiteral("\U0001F310"), row);
        globe->setWordWrap(false);
        rowLayout->addWidget(globe);
        auto* name = plainLabel(qtext(displayedText(exception.host)), row);
        name->setObjectName(QStringLiteral("exception-host"));
        rowLayout->addWidget(name, 1);
        auto* remove = new QToolButton(row);
        remove->setObjectName(QStringLiteral("exception-remove"));
        remove->setIcon(QIcon::fromTheme(QStringLiteral("user-trash")));
        remove->setText(QStringLiteral("Remove"));
        remove->setAutoRaise(true);
        const QString label = QStringLiteral("Re-enable cleaning for ") + host;
        remove->setToolTip(QStringLiteral("<qt>") + label.toHtmlEscaped() + QStringLiteral("</qt>"));
        remove->setAccessibleName(label);
        rowLayout->addWidget(remove);
        QPointer<DomainExceptionsPane> self(this);
        connect(remove, &QToolButton::clicked, this, [self, host = exception.host] {
            if (!self) {
                return;
            }
            self->store_->enable(host);
            // Later: the row that was clicked must outlive its own signal.
            QMetaObject::invokeMethod(self.data(), [self] { if (self) self->refresh(); },
                                      Qt::QueuedConnection);
        });
        auto* item = new QListWidgetItem(list_);
        item->setSizeHint(row->sizeHint());
        list_->setItemWidget(item, row);
    }
    states_->setCurrentWidget(domains.empty() ? emptyState_ : static_cast<QWidget*>(list_));
}

}  // namespace scourlet::app
