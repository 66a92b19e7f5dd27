#include "app/settings/StatsPane.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/settings/CSVDocument.h"
#include "app/settings/LastCleanDetail.h"
#include "app/settings/PaneScrollArea.h"
#include "app/settings/PlainLabel.h"
#include "app/settings/SettingsPane.h"
#include "app/settings/StatsPresentation.h"
#include "app/shell/SymbolImage.h"

namespace scourlet::app {

namespace {

// A count and its unit, always on one line.
QLabel* countLabel(QWidget* parent) {
    auto* label = plainLabel(QString(), parent);
    label->setWordWrap(false);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* bigNumber(QWidget* parent, const QString& name) {
    auto* label = plainLabel(QString(), parent);
    label->setObjectName(name);
    QFont font = label->font();
    font.setPointSize(28);
    font.setBold(true);
    label->setFont(font);
    return label;
}

// A card: its title and a row per pair, each count named after the card and
// its label; the counts are filled in by the pane.
QWidget* card(const QString& title, const StatsPresentation::Card& rows, std::vector<QLabel*>& counts,
              QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QStringLiteral("stats-card-") + title);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    frame->setBackgroundRole(QPalette::Base);
    auto* layout = new QVBoxLayout(frame);
    layout->setSpacing(10);
    auto* heading = plainLabel(title, frame);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);
    for (const auto& [label, count] : rows) {
        auto* row = new QHBoxLayout;
        row->addWidget(plainLabel(qtext(label), frame));
        auto* value = countLabel(frame);
        value->setObjectName(QStringLiteral("stats-card-") + title + QLatin1Char('-') + qtext(label));
        counts.push_back(value);
        row->addWidget(value);
        row->addStretch(1);
        layout->addLayout(row);
    }
    layout->addStretch(1);
    return frame;
}

}  // namespace

StatsPane::StatsPane(std::shared_ptr<StatsTracker> tracker, std::shared_ptr<const ClipboardMonitor> monitor,
                     std::shared_ptr<FileSaver> saver, QWidget* parent)
    : QWidget(parent), tracker_(std::move(tracker)), saver_(std::move(saver)) {
    setObjectName(QStringLiteral("stats-pane"));
    auto* scroll = new PaneScrollArea(qtext(rawValue(SettingsPane::stats)), this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setSpacing(16);

    auto* picker = new QHBoxLayout;
    picker->addWidget(plainLabel(QStringLiteral("Window"), content));
    auto* windows = new QButtonGroup(this);
    for (StatsWindow window : allCases<StatsWindow>()) {
        auto* segment = new QPushButton(qtext(rawValue(window)), content);
        segment->setObjectName(QStringLiteral("stats-window-") + qtext(rawValue(window)));
        segment->setCheckable(true);
        segment->setChecked(window == window_);
        windows->addButton(segment);
        // The group keeps one segment checked; the one that becomes checked,
        // by click, key or accessibility action, is the window shown.
        connect(segment, &QPushButton::toggled, this, [this, window](bool checked) {
            if (checked) {
                window_ = window;
                refresh();
            }
        });
        picker->addWidget(segment);
    }
    picker->addStretch(1);
    layout->addLayout(picker);

    auto* totals = new QGridLayout;
    cleaned_ = bigNumber(content, QStringLiteral("stats-total-cleaned"));
    cleanedLabel_ = plainLabel(QString(), content);
    cleanedLabel_->setObjectName(QStringLiteral("stats-total-cleaned-label"));
    warnings_ = bigNumber(content, QStringLiteral("stats-total-warnings"));
    warnings_->setAlignment(Qt::AlignRight);
    warningsLabel_ = plainLabel(QString(), content);
    warningsLabel_->setObjectName(QStringLiteral("stats-total-warnings-label"));
    warningsLabel_->setAlignment(Qt::AlignRight);
    totals->addWidget(cleaned_, 0, 0);
    totals->addWidget(cleanedLabel_, 1, 0);
    totals->addWidget(warnings_, 0, 1);
    totals->addWidget(warningsLabel_, 1, 1);
    layout->addLayout(totals);

    auto* divider = new QFrame(content);
    divider->setFrameShape(QFrame::HLine);
    layout->addWidget(divider);

    collect_ = new QCheckBox(QStringLiteral("Collect Statistics"), content);
    collect_->setObjectName(QStringLiteral("stats-collect"));
    collect_->setChecked(tracker_->isCollectionEnabled());
    collectCaption_ = plainLabel(QString(), content);
    collectCaption_->setObjectName(QStringLiteral("stats-collect-caption"));
    makeCaption(collectCaption_);
    connect(collect_, &QCheckBox::toggled, this, [this](bool enabled) {
        tracker_->setCollectionEnabled(enabled);
        tracker_->load();
        refresh();
    });
    layout->addWidget(collect_);
    layout->addWidget(collectCaption_);

    auto* figures = new QWidget(content);
    figuresLayout_ = new QVBoxLayout(figures);
    figuresLayout_->setContentsMargins(0, 0, 0, 0);
    figuresLayout_->setSpacing(16);
    layout->addWidget(figures);

    LinkButton* link = fixedLinkLabel("How we classify tracking", kTrackingMethodologyURL, content,
                                      QStringLiteral("tracking-methodology-link"));
    layout->addWidget(link);

    auto* exportButton = new QPushButton(QStringLiteral("Export CSV\u2026"), content);
    exportButton->setObjectName(QStringLiteral("stats-export"));
    connect(exportButton, &QPushButton::clicked, this, &StatsPane::exportCSV);
    auto* exportRow = new QHBoxLayout;
    exportRow->addWidget(exportButton);
    exportRow->addStretch(1);
    layout->addLayout(exportRow);
    layout->addStretch(1);

    scroll->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    refresh();

    // Both announce before they change: read them on a later turn, once.
    trackerSubscription_ = tracker_->objectWillChange().connect([this] { queueRefresh(); });
    if (monitor) {
        monitorSubscription_ = monitor->objectWillChange().connect([this] { queueRefresh(); });
    }
}

void StatsPane::queueRefresh() {
    if (refreshQueued_.exchange(true)) {
        return;
    }
    QMetaObject::invokeMethod(this, [this] { refresh(); }, Qt::QueuedConnection);
}

void StatsPane::refresh() {
    refreshQueued_ = false;
    const StatsPresentation shown = StatsPresentation::from(tracker_->snapshot(window_), window_);
    cleaned_->setText(QString::number(shown.totalCleaned));
    cleanedLabel_->setText(qtext(shown.cleanedLabel));
    warnings_->setText(QString::number(shown.totalCommandWarnings));
    warningsLabel_->setText(qtext(shown.warningsLabel));
    const bool collecting = tracker_->isCollectionEnabled();
    if (collect_->isChecked() != collecting) {
        const QSignalBlocker quiet(collect_);
        collect_->setChecked(collecting);
    }
    collectCaption_->setText(qtext(StatsPresentation::collectionCaption(collecting)));

    if (categoryCounts_.empty()) {
        buildFigures(shown);
    }
    for (std::size_t i = 0; i < shown.categories.size(); ++i) {
        categoryCounts_[i]->setText(qtext(shown.categories[i].countText));
    }
    std::size_t next = 0;
    for (const StatsPresentation::Card* card : {&shown.commandGuard, &shown.impact, &shown.confidence}) {
        for (const auto& row : *card) {
            cardCounts_[next++]->setText(QString::number(row.second));
        }
    }
}

void StatsPane::buildFigures(const StatsPresentation& shown) {
    QWidget* figures = figuresLayout_->parentWidget();
    auto* heading = plainLabel(QStringLiteral("By Category"), figures);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    figuresLayout_->addWidget(heading);
    auto* categories = new QFrame(figures);
    categories->setObjectName(QStringLiteral("stats-categories"));
    categories->setMinimumHeight(220);
    auto* rows = new QVBoxLayout(categories);
    const QColor accent = palette().color(QPalette::Highlight);
    for (const StatsPresentation::CategoryRow& category : shown.categories) {
        auto* row = new QHBoxLayout;
        auto* symbol = new QLabel(categories);
        symbol->setObjectName(QStringLiteral("stats-category-icon-") + qtext(category.name));
        symbol->setProperty("symbolName", qtext(category.iconName));
        symbol->setPixmap(symbolPixmap(category.iconName, 16, accent, devicePixelRatioF()));
        symbol->setFixedWidth(24);
        symbol->setAlignment(Qt::AlignCenter);
        row->addWidget(symbol);
        row->addWidget(plainLabel(qtext(category.name), categories), 1);
        auto* count = countLabel(categories);
        count->setObjectName(QStringLiteral("stats-category-") + qtext(category.name));
        categoryCounts_.push_back(count);
        row->addWidget(count);
        rows->addLayout(row);
    }
    figuresLayout_->addWidget(categories);
    auto* cards = new QWidget(figures);
    auto* cardRow = new QHBoxLayout(cards);
    cardRow->setContentsMargins(0, 0, 0, 0);
    cardRow->setSpacing(24);
    cardRow->addWidget(card(QStringLiteral("Command Guard"), shown.commandGuard, cardCounts_, cards), 1,
                       Qt::AlignTop);
    cardRow->addWidget(card(QStringLiteral("Monetization Impact"), shown.impact, cardCounts_, cards), 1,
                       Qt::AlignTop);
    figuresLayout_->addWidget(cards);
    figuresLayout_->addWidget(card(QStringLiteral("Confidence"), shown.confidence, cardCounts_, figures));
}

void StatsPane::exportCSV() {
    const std::string csv = tracker_->exportCSV();
    saver_->save(this,
                 {QStringLiteral("Export Statistics"), QStringLiteral("Scourlet-Stats.csv"),
                  QString::fromLatin1(CSVDocument::nameFilter),
                  QString::fromLatin1(CSVDocument::defaultSuffix)},
                 [&csv](const QString& path) { return CSVDocument{csv}.write(path); });
}

}  // namespace scourlet::app
