#include "app/settings/LinkButton.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

#include "app/settings/AccessibleFactory.h"

namespace scourlet::app {

namespace {

// Room around the title for the focus frame.
constexpr int kFrameMargin = 2;

// Qt reads a button as a button; a reader announces this one as a link, and
// its first action (the one a reader runs) opens it.
class LinkButtonAccessible final : public QAccessibleWidget {
public:
    explicit LinkButtonAccessible(LinkButton* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && link()->accessibleName().isEmpty()) {
            return link()->title();
        }
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name == pressAction()) {
            if (link()->isEnabled()) {
                link()->click();
            }
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    LinkButton* link() const { return static_cast<LinkButton*>(widget()); }
};

}  // namespace

LinkButton::LinkButton(const QString& title, QUrl url, QWidget* parent)
    : QAbstractButton(parent), title_(title), url_(std::move(url)) {
    installAccessibleInterface<LinkButton, LinkButtonAccessible>();
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, &LinkButton::open);
}

bool LinkButton::open() {
    return opener_ && opener_(url_);
}

QSize LinkButton::sizeHint() const {
    QFont underlined = font();
    underlined.setUnderline(true);
    const QSize text = QFontMetrics(underlined).size(Qt::TextSingleLine, title_);
    return text + QSize(2 * kFrameMargin, 2 * kFrameMargin);
}

void LinkButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont underlined = font();
    underlined.setUnderline(true);
    painter.setFont(underlined);
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Normal : QPalette::Disabled;
    painter.setPen(palette().color(group, QPalette::Link));
    const QRect text = rect().adjusted(kFrameMargin, kFrameMargin, -kFrameMargin, -kFrameMargin);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title_);
    if (hasFocus()) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
    }
}

void LinkButton::keyPressEvent(QKeyEvent* event) {
    // Space comes with QAbstractButton; a link opens with Enter too.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !event->isAutoRepeat() &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

}  // namespace scourlet::app
