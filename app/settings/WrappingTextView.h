// WrappingTextView: outside text shown whole and read-only (a link, a
// command, a matched fragment) that wraps inside the width it is given, so a
// long link or command never makes its window wider. Short runs wrap at
// spaces; a long run without any (a link, a base64 blob) wraps anywhere.
// Line breaks are kept; the text is always plain.
//
// The text can be selected with the mouse, or all of it with the Select All
// key, and copied as plain text with the Copy key or the context menu.
//
// One QTextLayout holds the whole text. It is laid out once per width and
// only the lines in view are painted, so even the largest text the clipboard
// admits (64 KiB) lays out in milliseconds.
//
//   auto* command = new WrappingTextView(qtext(displayedText(risk.command)), this);
//   command->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
#pragma once

#include <array>

#include <QString>
#include <QTextLayout>
#include <QWidget>

namespace scourlet::app {

class WrappingTextView final : public QWidget {
    Q_OBJECT
public:
    explicit WrappingTextView(const QString& text, QWidget* parent = nullptr);

    const QString& text() const { return text_; }
    void setText(const QString& text);

    // The selected part of the text, exactly as shown; empty when nothing is selected.
    QString selectedText() const;
    void selectAll();
    // Puts the selection on the clipboard; nothing when nothing is selected.
    void copySelection() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Lays the text out for `width` pixels unless it already is; answers the height.
    int layOut(int width) const;
    void forgetLayout();
    int positionAt(QPointF point) const;

    QString text_;
    mutable QTextLayout layout_;
    mutable int laidOutWidth_ = -1;
    mutable int laidOutHeight_ = 0;
    // The heights of the last widths asked for: a layout asks for the same few
    // widths again and again, and each answer would otherwise lay the text out.
    mutable std::array<QPoint, 4> knownHeights_{};  // x: width, y: height; width 0: unused
    mutable std::size_t nextKnownHeight_ = 0;
    int anchor_ = 0;
    int cursor_ = 0;
};

}  // namespace scourlet::app
