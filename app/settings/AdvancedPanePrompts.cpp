#include "app/settings/AdvancedPanePrompts.h"

#include <QMessageBox>
#include <QPushButton>

#include "app/settings/AdvancedContent.h"
#include "app/settings/PlainLabel.h"

namespace scourlet::app {

using namespace advanced;

bool AdvancedPanePrompts::confirmStatisticsReset(QWidget* parent) {
    QMessageBox box(QMessageBox::Warning, qtext(kResetStatisticsQuestion),
                    qtext(kResetStatisticsMessage), QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* reset = box.addButton(qtext(kResetButton), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(qtext(kCancelButton), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == reset;
}

}  // namespace scourlet::app
