#include "app/settings/CommandRiskSection.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/settings/PlainLabel.h"
#include "app/settings/WrappingTextView.h"

namespace scourlet::app {

CommandRiskSection::CommandRiskSection(const CommandRiskPresentation& shown, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("command-risk-section"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(12);

    auto* header = new QHBoxLayout;
    auto* severity = plainLabel(QStringLiteral("\u26A0 ") + qtext(shown.severityTitle), this);
    severity->setObjectName(QStringLiteral("command-risk-severity"));
    severity->setProperty("symbolName", qtext(shown.symbolName));
    QFont headline = severity->font();
    headline.setBold(true);
    severity->setFont(headline);
    QPalette palette = severity->palette();
    palette.setColor(QPalette::WindowText,
                     shown.tint == CommandRiskPresentation::Tint::red ? QColor(Qt::red) : QColor(255, 140, 0));
    severity->setPalette(palette);
    header->addWidget(severity);
    header->addStretch(1);
    auto* rules = plainLabel(qtext(shown.rulesCaption), this);
    rules->setObjectName(QStringLiteral("command-risk-rules"));
    rules->setWordWrap(false);
    makeCaption(rules);
    header->addWidget(rules);
    layout->addLayout(header);

    auto* commandBlock = new QVBoxLayout;
    commandBlock->setSpacing(4);
    auto* commandTitle = plainLabel(QStringLiteral("Command"), this);
    makeHeader(commandTitle);
    commandBlock->addWidget(commandTitle);
    // The command and the matched texts wrap anywhere: a long command without
    // spaces must not widen the pane.
    auto* command = new WrappingTextView(qtext(shown.command), this);
    command->setObjectName(QStringLiteral("command-risk-command"));
    command->setFont(QFont(QStringLiteral("monospace")));
    commandBlock->addWidget(command);
    layout->addLayout(commandBlock);

    int index = 0;
    for (const CommandRiskPresentation::Finding& finding : shown.findings) {
        auto* block = new QWidget(this);
        block->setObjectName(QStringLiteral("command-risk-finding-%1").arg(index++));
        block->setProperty("findingId", qtext(finding.id));
        auto* lines = new QVBoxLayout(block);
        lines->setContentsMargins(0, 0, 0, 0);
        lines->setSpacing(4);
        auto* summary = plainLabel(qtext(finding.summary), block);
        QFont bold = summary->font();
        bold.setBold(true);
        summary->setFont(bold);
        lines->addWidget(summary);
        auto* explanation = plainLabel(qtext(finding.explanation), block);
        makeCaption(explanation);
        lines->addWidget(explanation);
        if (finding.matchedText) {
            auto* matched = new WrappingTextView(qtext(*finding.matchedText), block);
            matched->setObjectName(QStringLiteral("command-risk-matched"));
            QFont monospace(QStringLiteral("monospace"));
            monospace.setPointSizeF(monospace.pointSizeF() * 0.85);
            matched->setFont(monospace);
            lines->addWidget(matched);
        }
        layout->addWidget(block);
    }
}

}  // namespace scourlet::app
