#include "app/settings/RulesManagerPrompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/settings/RulesDocument.h"

namespace scourlet::app {

std::optional<QString> RulesManagerPrompts::chooseImportFile(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("Import Rules"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromLatin1(RulesDocument::nameFilter));
    dialog.setDirectory(importFolder_.start());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    importFolder_.remember(dialog.selectedFiles().constFirst());
    return dialog.selectedFiles().constFirst();
}

bool RulesManagerPrompts::confirmReset(QWidget* parent) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Reset to Defaults?"),
                    QStringLiteral("This will re-enable all rules and remove custom rules."),
                    QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* reset = box.addButton(QStringLiteral("Reset"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == reset;
}

void RulesManagerPrompts::reportImportError(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Could Not Import Rules"), message,
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace scourlet::app
