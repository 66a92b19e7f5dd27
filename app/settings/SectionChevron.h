// The chevron that opens and closes a section of the "Rules" list: a flat
// button drawing a right (closed) or down (open) arrow, whose accessible name
// says what a press does ("Expand Analytics rules") and whose accessible value
// says the section's state ("Collapsed"). Pressing it, by mouse or through the
// accessibility press action, emits clicked(); the list decides.
//
//   auto* chevron = new SectionChevron(list->viewport());
//   chevron->setState(true, "Collapse Analytics rules", "Expanded");
//
// Main thread only.
#pragma once

#include <QString>
#include <QToolButton>

namespace scourlet::app {

class SectionChevron final : public QToolButton {
    Q_OBJECT
public:
    explicit SectionChevron(QWidget* parent = nullptr);

    void setState(bool expanded, const QString& label, const QString& value);
    bool isExpanded() const { return expanded_; }
    const QString& accessibleValue() const { return value_; }

private:
    bool expanded_ = false;
    QString value_;
};

}  // namespace scourlet::app
