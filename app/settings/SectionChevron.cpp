#include "app/settings/SectionChevron.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "app/settings/AccessibleFactory.h"

namespace scourlet::app {

namespace {

// A button with the section's state as its value, which the platform's
// button interface has no place for.
class ChevronAccessible final : public QAccessibleWidget {
public:
    explicit ChevronAccessible(SectionChevron* chevron)
        : QAccessibleWidget(chevron, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return chevron()->accessibleValue();
        }
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = chevron()->isExpanded();
        state.collapsed = !chevron()->isExpanded();
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            chevron()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    SectionChevron* chevron() const { return static_cast<SectionChevron*>(widget()); }
};

}  // namespace

SectionChevron::SectionChevron(QWidget* parent) : QToolButton(parent) {
    installAccessibleInterface<SectionChevron, ChevronAccessible>();
    setAutoRaise(true);
    // The list's own keys (Left and Right) open and close sections from the keyboard.
    setFocusPolicy(Qt::NoFocus);
    setArrowType(Qt::RightArrow);
}

void SectionChevron::setState(bool expanded, const QString& label, const QString& value) {
    const bool changed = expanded_ != expanded || value_ != value;
    expanded_ = expanded;
    value_ = value;
    setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
    setAccessibleName(label);
    setToolTip(label);
    if (changed) {
        QAccessibleValueChangeEvent event(this, value);
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace scourlet::app
