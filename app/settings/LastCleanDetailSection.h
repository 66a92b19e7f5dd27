// One clean explained, read-only apart from two copy buttons and the link to
// the classification page (see LastCleanDetail). Copies go through `copy`,
// which the application points at the clipboard monitor's own write, so the
// copied link is not taken for a new copy of the user's.
#pragma once

#include <functional>
#include <string>

#include <QWidget>

#include "app/settings/LastCleanDetail.h"

namespace scourlet::app {

class LastCleanDetailSection final : public QWidget {
    Q_OBJECT
public:
    using CopyText = std::function<void(const std::string&)>;

    LastCleanDetailSection(const LastCleanDetail& detail, CopyText copy, QWidget* parent = nullptr);
};

}  // namespace scourlet::app
