#include "app/settings/FileSaver.h"

#include <QFileDialog>
#include <QMessageBox>

namespace scourlet::app {

bool FileSaver::save(QWidget* parent, const Request& request, const Write& write) {
    const std::optional<QString> path = chooseTarget(parent, request);
    if (!path || path->isEmpty()) {
        return false;
    }
    if (const auto failed = write(*path)) {
        reportError(parent, QString::fromStdString(*failed));
        return false;
    }
    return true;
}

std::optional<QString> FileSaver::chooseTarget(QWidget* parent, const Request& request) {
    QFileDialog dialog(parent, request.dialogTitle);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.nameFilter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setDirectory(folder_.start());
    dialog.selectFile(request.suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    folder_.remember(dialog.selectedFiles().constFirst());
    return dialog.selectedFiles().constFirst();
}

void FileSaver::reportError(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Could Not Save"), message, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace scourlet::app
