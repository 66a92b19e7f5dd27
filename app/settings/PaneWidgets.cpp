#include "app/settings/PaneWidgets.h"

#include "app/settings/PlainLabel.h"

namespace scourlet::app {

QGroupBox* sectionBox(std::string_view title, QWidget* parent, const QString& objectName,
                      int spacing) {
    auto* box = new QGroupBox(qtext(title), parent);
    if (!objectName.isEmpty()) {
        box->setObjectName(objectName);
    }
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(spacing);
    return box;
}

QVBoxLayout* sectionColumn(QGroupBox* box) {
    return qobject_cast<QVBoxLayout*>(box->layout());
}

QPushButton* namedButton(std::string_view title, std::string_view id, QWidget* parent) {
    auto* button = new QPushButton(qtext(title), parent);
    button->setObjectName(qtext(id));
    return button;
}

}  // namespace scourlet::app
