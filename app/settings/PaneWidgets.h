// What the settings panes build their sections from: a titled group box
// holding a vertical column, and named buttons.
//
//   QGroupBox* box = sectionBox("Startup", form);
//   sectionColumn(box)->addWidget(namedButton("Install", "pane-install", box));
#pragma once

#include <string_view>

#include <QGroupBox>
#include <QPushButton>
#include <QString>
#include <QVBoxLayout>

namespace scourlet::app {

// A group box titled `title` with a column whose rows stand `spacing` apart;
// named when `objectName` is not empty.
QGroupBox* sectionBox(std::string_view title, QWidget* parent, const QString& objectName = {},
                      int spacing = 8);

// The column of a box made by sectionBox.
QVBoxLayout* sectionColumn(QGroupBox* box);

// A push button titled `title` whose object name is `id`.
QPushButton* namedButton(std::string_view title, std::string_view id, QWidget* parent);

}  // namespace scourlet::app
