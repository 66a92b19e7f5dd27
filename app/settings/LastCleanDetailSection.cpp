#include "app/settings/LastCleanDetailSection.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/settings/PlainLabel.h"
#include "app/settings/WrappingTextView.h"

namespace scourlet::app {

namespace {

QLabel* header(const QString& text, QWidget* parent) {
    auto* label = plainLabel(text, parent);
    makeHeader(label);
    return label;
}

void addRow(QVBoxLayout* layout, QWidget* parent, const QString& title, const std::string& value,
            const QString& name) {
    auto* block = new QVBoxLayout;
    block->setSpacing(4);
    block->addWidget(header(title, parent));
    // Links wrap anywhere: a long one must not widen the pane.
    auto* shown = new WrappingTextView(qtext(value), parent);
    shown->setObjectName(name);
    block->addWidget(shown);
    layout->addLayout(block);
}

}  // namespace

LastCleanDetailSection::LastCleanDetailSection(const LastCleanDetail& detail, CopyText copy,
                                               QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("last-clean-detail"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(12);

    addRow(layout, this, QStringLiteral("Original"), detail.originalURL,
           QStringLiteral("last-clean-original"));
    addRow(layout, this, qtext(detail.cleanedLabel), detail.cleanedURL,
           QStringLiteral("last-clean-cleaned"));
    if (detail.removedParameters) {
        addRow(layout, this, QStringLiteral("Removed Parameters"), *detail.removedParameters,
               QStringLiteral("last-clean-removed"));
    }
    if (detail.privacyRewrite) {
        addRow(layout, this, QStringLiteral("Rewritten for Privacy"), *detail.privacyRewrite,
               QStringLiteral("last-clean-rewrite"));
        auto* note = plainLabel(QStringLiteral("Scourlet rewrote this locally. Opening the link "
                                               "contacts the selected third-party frontend."),
                                this);
        makeCaption(note);
        layout->addWidget(note);
    }

    auto* buttons = new QHBoxLayout;
    auto* copyLink = new QPushButton(qtext(detail.copyButtonTitle), this);
    copyLink->setObjectName(QStringLiteral("last-clean-copy"));
    connect(copyLink, &QPushButton::clicked, this, [copy, text = detail.copyText] { copy(text); });
    buttons->addWidget(copyLink);
    if (detail.waybackLink) {
        auto* wayback = new QPushButton(QStringLiteral("Copy Wayback Link"), this);
        wayback->setObjectName(QStringLiteral("last-clean-copy-wayback"));
        wayback->setToolTip(QStringLiteral("Copies an Internet Archive lookup link. Scourlet does "
                                           "not submit the page for archiving."));
        connect(wayback, &QPushButton::clicked, this,
                [copy, text = *detail.waybackLink] { copy(text); });
        buttons->addWidget(wayback);
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);

    if (detail.impact) {
        auto* categories = new QWidget(this);
        categories->setObjectName(QStringLiteral("last-clean-categories"));
        auto* categoryLines = new QVBoxLayout(categories);
        categoryLines->setContentsMargins(0, 0, 0, 0);
        categoryLines->setSpacing(6);
        categoryLines->addWidget(header(QStringLiteral("Tracking Categories"), categories));
        for (const LastCleanDetail::Category& category : detail.impact->categories) {
            auto* entry = new QVBoxLayout;
            entry->setSpacing(2);
            entry->addWidget(plainLabel(qtext(category.title), categories));
            auto* explanation = plainLabel(qtext(category.explanation), categories);
            makeCaption(explanation);
            entry->addWidget(explanation);
            categoryLines->addLayout(entry);
        }
        layout->addWidget(categories);

        auto* impact = new QWidget(this);
        impact->setObjectName(QStringLiteral("last-clean-impact"));
        auto* impactLines = new QVBoxLayout(impact);
        impactLines->setContentsMargins(0, 0, 0, 0);
        impactLines->setSpacing(6);
        impactLines->addWidget(header(QStringLiteral("Monetization Impact"), impact));
        auto* level = plainLabel(qtext(detail.impact->level), impact);
        QFont big = level->font();
        big.setBold(true);
        big.setPointSizeF(big.pointSizeF() * 1.3);
        level->setFont(big);
        impactLines->addWidget(level);
        impactLines->addWidget(plainLabel(qtext(detail.impact->summary), impact));
        auto* explanation = plainLabel(qtext(detail.impact->explanation), impact);
        makeCaption(explanation);
        impactLines->addWidget(explanation);
        auto* confidence = plainLabel(qtext(detail.impact->confidence), impact);
        makeCaption(confidence);
        impactLines->addWidget(confidence);
        layout->addWidget(impact);
    }

    LinkButton* link = fixedLinkLabel("How we classify tracking", kTrackingMethodologyURL, this,
                                      QStringLiteral("tracking-methodology-link"));
    makeCaption(link);
    layout->addWidget(link);
}

}  // namespace scourlet::app
