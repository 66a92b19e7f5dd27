#include "app/settings/WrappingTextView.h"

#include <algorithm>
#include <cmath>

#include <QAccessibleWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "app/settings/AccessibleFactory.h"

namespace scourlet::app {

namespace {

// Qt looks for a place to break a line at a space first, and searches the
// rest of the run for it on every line: in a run without spaces that costs the
// square of the run's length (about 0.1 s for a 64 KiB link). Text with a run
// longer than this wraps anywhere instead, which costs a single pass.
constexpr qsizetype kLongestRunWrappedAtSpaces = 1024;

QTextOption::WrapMode wrapModeFor(const QString& text) {
    qsizetype run = 0;
    for (QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestRunWrappedAtSpaces) {
            return QTextOption::WrapAnywhere;
        }
    }
    return QTextOption::WrapAtWordBoundaryOrAnywhere;
}

// The text as laid out: each line feed a line separator, so one layout holds
// every line and each character keeps its index.
QString laidOutText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QChar(QChar::LineSeparator));
    return shown;
}

// Screen readers read the text itself, as they would a label's.
class WrappingTextAccessible final : public QAccessibleWidget {
public:
    explicit WrappingTextAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return static_cast<const WrappingTextView*>(widget())->text();
        }
        return QAccessibleWidget::text(kind);
    }
};

}  // namespace

WrappingTextView::WrappingTextView(const QString& text, QWidget* parent) : QWidget(parent) {
    installAccessibleInterface<WrappingTextView, WrappingTextAccessible>();
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
    layout_.setCacheEnabled(true);
    layout_.setFont(font());
    setText(text);
}

void WrappingTextView::setText(const QString& text) {
    text_ = text;
    layout_.setText(laidOutText(text));
    QTextOption option;
    option.setWrapMode(wrapModeFor(text));
    layout_.setTextOption(option);
    anchor_ = 0;
    cursor_ = 0;
    forgetLayout();
}

QString WrappingTextView::selectedText() const {
    const int start = std::min(anchor_, cursor_);
    return text_.mid(start, std::max(anchor_, cursor_) - start);
}

void WrappingTextView::selectAll() {
    anchor_ = 0;
    cursor_ = static_cast<int>(text_.size());
    update();
}

void WrappingTextView::copySelection() const {
    const QString selected = selectedText();
    if (!selected.isEmpty()) {
        QGuiApplication::clipboard()->setText(selected);
    }
}

int WrappingTextView::heightForWidth(int width) const {
    for (const QPoint& known : knownHeights_) {
        if (known.x() == width && width > 0) {
            return known.y();
        }
    }
    const int height = layOut(width);
    knownHeights_[nextKnownHeight_] = QPoint(width, height);
    nextKnownHeight_ = (nextKnownHeight_ + 1) % knownHeights_.size();
    return height;
}

QSize WrappingTextView::sizeHint() const {
    // Layouts ask for the height at the hinted width, and each new width means
    // laying the whole text out: hint the width the text has, whose height is
    // known. Before the first layout, the width of the column it sits in (at
    // least about forty characters, never the whole of a long link) and a line
    // per line of text.
    if (laidOutWidth_ > 0) {
        return {laidOutWidth_, laidOutHeight_};
    }
    const int column = parentWidget() == nullptr ? 0 : parentWidget()->contentsRect().width();
    const auto lines =
        static_cast<int>(std::min<qsizetype>(text_.count(QLatin1Char('\n')) + 1, 1000));
    return {std::max(column, fontMetrics().averageCharWidth() * 40),
            fontMetrics().lineSpacing() * lines};
}

QSize WrappingTextView::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 4, fontMetrics().height()};
}

int WrappingTextView::layOut(int width) const {
    // Never narrower than a few characters: at a pixel or two a long text
    // would make tens of thousands of lines.
    width = std::max(width, minimumSizeHint().width());
    if (width == laidOutWidth_) {
        return laidOutHeight_;
    }
    qreal y = 0;
    layout_.beginLayout();
    for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout_.endLayout();
    const bool firstLayout = laidOutWidth_ < 0;
    laidOutWidth_ = width;
    laidOutHeight_ = static_cast<int>(std::ceil(y));
    if (firstLayout) {
        // The size hint was a guess until now: have the layouts ask again.
        const_cast<WrappingTextView*>(this)->updateGeometry();
    }
    return laidOutHeight_;
}

void WrappingTextView::forgetLayout() {
    laidOutWidth_ = -1;
    knownHeights_.fill(QPoint());
    updateGeometry();
    update();
}

int WrappingTextView::positionAt(QPointF point) const {
    layOut(width());
    const int count = layout_.lineCount();
    if (count == 0) {
        return 0;
    }
    // The first line whose bottom lies below the point.
    int low = 0;
    int high = count - 1;
    while (low < high) {
        const int middle = (low + high) / 2;
        const QTextLine line = layout_.lineAt(middle);
        if (point.y() < line.y() + line.height()) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return layout_.lineAt(low).xToCursor(point.x());
}

void WrappingTextView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        layout_.setFont(font());
        forgetLayout();
    }
}

void WrappingTextView::paintEvent(QPaintEvent* event) {
    layOut(width());
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    QList<QTextLayout::FormatRange> selection;
    if (anchor_ != cursor_) {
        QTextLayout::FormatRange range;
        range.start = std::min(anchor_, cursor_);
        range.length = std::abs(anchor_ - cursor_);
        range.format.setBackground(palette().brush(QPalette::Highlight));
        range.format.setForeground(palette().brush(QPalette::HighlightedText));
        selection.append(range);
    }
    // Only the lines in the exposed rectangle are drawn.
    layout_.draw(&painter, QPointF(0, 0), selection, event->rect());
}

void WrappingTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    cursor_ = positionAt(event->position());
    if (!event->modifiers().testFlag(Qt::ShiftModifier)) {
        anchor_ = cursor_;
    }
    update();
}

void WrappingTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!event->buttons().testFlag(Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    cursor_ = positionAt(event->position());
    update();
}

// A double click selects the run around the pointer: a whole link, a whole
// argument of a command.
void WrappingTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    const int at = positionAt(event->position());
    int start = at;
    while (start > 0 && !text_[start - 1].isSpace()) {
        --start;
    }
    int end = at;
    while (end < text_.size() && !text_[end].isSpace()) {
        ++end;
    }
    anchor_ = start;
    cursor_ = end;
    update();
}

void WrappingTextView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    QWidget::keyPressEvent(event);
}

void WrappingTextView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("&Copy"), this, &WrappingTextView::copySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(anchor_ != cursor_);
    QAction* all = menu.addAction(QStringLiteral("Select All"), this, &WrappingTextView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

}  // namespace scourlet::app
