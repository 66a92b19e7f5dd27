// Saving an export through the save dialog: the dialog offers one file type
// and adds its suffix to a name typed without one; the bytes are written all
// or nothing (see AtomicFileWrite.h); a failure is shown to the user, a
// cancelled dialog stays silent. The dialog opens in the home folder, then in
// the folder of the last file chosen through the same saver.
//
//   FileSaver saver;
//   saver.save(this, {"Export Statistics", "Scourlet-Stats.csv", CSVDocument::nameFilter,
//                     CSVDocument::defaultSuffix}, [&](const QString& path) {
//       return CSVDocument{stats.exportCSV()}.write(path);
//   });
//
// Tests replace the two dialog steps by overriding chooseTarget() and reportError().
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <QString>

#include "app/settings/DialogFolder.h"

class QWidget;

namespace scourlet::app {

class FileSaver {
public:
    struct Request {
        QString dialogTitle;
        QString suggestedName;
        QString nameFilter;
        QString defaultSuffix;
    };
    // Writes the file at the path; nothing on success, else the message to show.
    using Write = std::function<std::optional<std::string>(const QString& path)>;

    virtual ~FileSaver() = default;

    // True when the file was written; false when cancelled or failed (the
    // failure has been shown).
    bool save(QWidget* parent, const Request& request, const Write& write);

protected:
    // The path the user chose; nothing when the dialog was cancelled.
    virtual std::optional<QString> chooseTarget(QWidget* parent, const Request& request);
    virtual void reportError(QWidget* parent, const QString& message);

private:
    DialogFolder folder_;
};

}  // namespace scourlet::app
