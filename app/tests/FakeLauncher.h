// xdg-utils' xdg-open, faked for one scope on a PATH of its own (nothing else
// is on it), as the link opener finds it. The recording launcher first
// complains on its standard error as xdg-open does without a browser, naming
// the link, then notes the link: once a link is noted, the complaint is
// written.
//
//   FakeLauncher launcher;                            // or Kind::missing, Kind::cannotStart
//   QVERIFY(openLink(url));
//   QTRY_COMPARE(launcher.opened(), QStringList{url.toString()});
#pragma once

#include <filesystem>
#include <string>

#include <QString>
#include <QStringList>

#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"

namespace scourlet::testing {

// Writes an executable shell script to `path`.
inline void writeScript(const std::filesystem::path& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

class FakeLauncher {
public:
    enum class Kind {
        records,      // notes each link it is started with
        missing,      // no xdg-open on PATH
        cannotStart,  // an xdg-open whose interpreter is not there
    };

    explicit FakeLauncher(Kind kind = Kind::records) {
        environment_.set("PATH", bin_.path().string());
        const std::filesystem::path launcher = bin_ / "xdg-open";
        switch (kind) {
            case Kind::records:
                writeScript(launcher,
                            "echo \"xdg-open: no method available for opening '$1'\" >&2\n"
                            "echo \"xdg-open: opening '$1'\"\n"
                            "printf '%s\\n' \"$1\" >> '" +
                                record().string() + "'\n");
                break;
            case Kind::missing:
                break;
            case Kind::cannotStart:
                writeFile(launcher, "#!/nonexistent/interpreter\n");
                std::filesystem::permissions(launcher, std::filesystem::perms::owner_all);
                break;
        }
    }

    // The folder on PATH, for further fake programs.
    const std::filesystem::path& bin() const { return bin_.path(); }

    // The links noted so far, oldest first.
    QStringList opened() const {
        QStringList lines = QString::fromStdString(readFile(record())).split(QLatin1Char('\n'));
        lines.removeLast();  // after the last newline: empty, or a line still being written
        return lines;
    }

private:
    std::filesystem::path record() const { return bin_ / "opened.txt"; }

    TempDir bin_;
    ScopedEnvironment environment_;
};

}  // namespace scourlet::testing
