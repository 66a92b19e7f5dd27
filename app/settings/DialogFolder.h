// Where a file dialog opens: the folder the user last chose a file in through
// the same owner, else the home folder. Never the program's working folder,
// which for a program started from a menu says nothing about the user's files.
//
//   dialog.setDirectory(folder_.start());
//   ...
//   folder_.remember(dialog.selectedFiles().constFirst());
#pragma once

#include <QString>

namespace scourlet::app {

class DialogFolder {
public:
    // The last folder remembered while it still exists, else the home folder.
    QString start() const;
    // Remembers the folder that holds `chosenFile`.
    void remember(const QString& chosenFile);

private:
    QString last_;
};

}  // namespace scourlet::app
