#include "app/menu/TrayMenu.h"

#include <algorithm>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QUrl>

#include "ScourletCore/linkrewriting/MapLinkTransformer.h"
#include "app/menu/MenuModel.h"
#include "app/menu/MenuText.h"
#include "app/shell/AppState.h"
#include "app/shell/TrayLabel.h"
#include "app/shell/WindowIds.h"
#include "app/shell/WindowManager.h"

namespace scourlet::app {

namespace {

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Tooltips guess rich text; outside text must stay literal.
QString plainToolTip(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    return QStringLiteral("<qt>") + fromUtf8(text).toHtmlEscaped() + QStringLiteral("</qt>");
}

bool hasRow(const std::vector<MenuItem>& rows, std::string_view identifier) {
    return std::any_of(rows.begin(), rows.end(),
                       [&](const MenuItem& row) { return row.identifier == identifier; });
}

// Brings an action to what its row says. Qt's setters ignore an unchanged
// value, so a row that did not change costs nothing here.
void updateAction(QAction* action, const MenuItem& item) {
    if (item.kind == MenuItem::Kind::separator) {
        action->setSeparator(true);
    } else {
        action->setText(fromUtf8(dbusMenuActionText(item.text)));
        action->setToolTip(plainToolTip(item.toolTip));
        action->setEnabled(item.enabled && item.kind != MenuItem::Kind::text);
        action->setCheckable(item.kind == MenuItem::Kind::toggle);
        action->setChecked(item.kind == MenuItem::Kind::toggle && item.checked);
    }
    action->setVisible(true);
}

// What assistive technology reads for a row: its accessibility label (else
// its text) as the name, its help text as the description. Qt's own menu item
// takes the name from the action's text and has no description, and the text
// of these actions is written for the D-Bus export, so the rows bring their own.
class RowAccessible final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    RowAccessible(TrayMenu* menu, QAction* action) : menu_(menu), action_(action) {}

    bool isValid() const override { return !menu_.isNull() && !action_.isNull(); }
    QObject* object() const override { return action_.data(); }
    QWindow* window() const override { return menu_ ? menu_->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(menu_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text kind) const override {
        const MenuItem* row = isValid() ? menu_->rowFor(action_) : nullptr;
        if (row == nullptr) {
            return {};
        }
        switch (kind) {
            case QAccessible::Name:
                return fromUtf8(row->accessibleName.empty() ? row->text : row->accessibleName);
            case QAccessible::Description:
                return fromUtf8(row->toolTip);
            default:
                return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        return menu_->actionGeometry(action_).translated(menu_->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override {
        return action_ && action_->isSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
    }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.invisible = !menu_->isVisible() || !action_->isVisible();
        state.focused = menu_->activeAction() == action_;
        state.disabled = action_->isSeparator() || !action_->isEnabled();
        state.checkable = action_->isCheckable();
        state.checked = action_->isChecked();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }

    QStringList actionNames() const override {
        if (!isValid() || action_->isSeparator()) {
            return {};
        }
        return {pressAction()};
    }
    void doAction(const QString& name) override {
        if (isValid() && name == pressAction() && action_->isEnabled()) {
            action_->trigger();
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<TrayMenu> menu_;
    QPointer<QAction> action_;
};

// A menu measures a row by its action's text but draws the text its style
// option carries; the two differ here (see initStyleOption), so rows are
// measured by what is drawn.
class RowTextStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize contents = size;
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (type == CT_MenuItem && item != nullptr &&
            item->menuItemType == QStyleOptionMenuItem::Normal) {
            const QString text = item->text.left(item->text.indexOf(u'\t'));
            const int flags = Qt::TextSingleLine | Qt::TextShowMnemonic;
            contents.setWidth(item->fontMetrics.boundingRect(QRect(), flags, text).width());
        }
        return QProxyStyle::sizeFromContents(type, option, contents, widget);
    }
};

QAccessibleInterface* rowAccessibleFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QAction")) {
        return nullptr;
    }
    auto* action = static_cast<QAction*>(object);
    auto* menu = qobject_cast<TrayMenu*>(action->parent());
    if (menu == nullptr || action == menu->menuAction()) {
        return nullptr;
    }
    return new RowAccessible(menu, action);
}

}  // namespace

TrayMenu::TrayMenu(AppState& state, WindowManager& windows, LinkOpener opener, QWidget* parent)
    : QMenu(parent), state_(state), windows_(windows), opener_(std::move(opener)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&rowAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    setObjectName(QStringLiteral("tray-menu"));
    auto* rowStyle = new RowTextStyle(QStyleFactory::create(QApplication::style()->name()));
    rowStyle->setParent(this);
    setStyle(rowStyle);
    setToolTipsVisible(true);
    connect(this, &QMenu::aboutToShow, this, [this] {
        refresh();
        state_.applicationBecameActive();
    });
    connect(&state_, &AppState::changed, this, &TrayMenu::refresh);
    refresh();
}

TrayMenu::~TrayMenu() = default;

QAction* TrayMenu::actionFor(std::string_view identifier) const {
    for (const Row& row : rows_) {
        if (row.item.identifier == identifier) {
            return row.action->isVisible() ? row.action : nullptr;
        }
    }
    return nullptr;
}

const MenuItem* TrayMenu::rowFor(const QAction* action) const {
    for (const Row& row : rows_) {
        if (row.action == action) {
            return &row.item;
        }
    }
    return nullptr;
}

TrayMenu::Row* TrayMenu::rowNamed(std::string_view identifier) {
    for (Row& row : rows_) {
        if (row.item.identifier == identifier) {
            return &row;
        }
    }
    return nullptr;
}

std::vector<MenuItem> TrayMenu::currentRows() const {
    MenuWindows available;
    available.settings = windows_.hasWindow(kSettingsWindowId);
    available.report = windows_.hasWindow(kReportWindowId);
    available.welcome = windows_.hasWindow(kWelcomeWindowId);
    std::vector<MenuItem> items = updateRows(state_.updateAwareness()->state());
    if (!available.settings) {
        for (MenuItem& row : items) {
            if (row.command == MenuCommand::showUpdate) {
                row.command = MenuCommand::none;  // informs; nothing to open yet
                row.enabled = false;
            }
        }
    }
    std::vector<MenuItem> menu = buildMenu(menuInputs(*state_.monitor(), available));
    items.insert(items.end(), std::make_move_iterator(menu.begin()),
                 std::make_move_iterator(menu.end()));
    return items;
}

void TrayMenu::refresh() {
    apply(currentRows());
}

void TrayMenu::apply(std::vector<MenuItem> rows) {
    if (rows == shown_) {
        return;
    }
    // The actions of rows that stay (or come back), in the menu's order. Each
    // row is placed before the first of them not yet passed; in a model whose
    // rows keep one order that leaves every existing action where it is.
    std::vector<QAction*> staying;
    for (QAction* action : actions()) {
        const MenuItem* row = rowFor(action);
        if (row != nullptr && hasRow(rows, row->identifier)) {
            staying.push_back(action);
        }
    }
    std::size_t next = 0;
    const auto before = [&] { return next < staying.size() ? staying[next] : nullptr; };
    for (const MenuItem& item : rows) {
        Row* row = rowNamed(item.identifier);
        if (row == nullptr) {
            rows_.push_back({item, makeAction(item)});
            insertAction(before(), rows_.back().action);
            continue;
        }
        row->item = item;
        if (before() == row->action) {
            ++next;
        } else {
            // Out of order: moved, at the cost of a new id on a D-Bus tray.
            staying.erase(std::remove(staying.begin(), staying.end(), row->action), staying.end());
            removeAction(row->action);
            insertAction(before(), row->action);
        }
        updateAction(row->action, item);
    }
    for (Row& row : rows_) {
        if (!hasRow(rows, row.item.identifier)) {
            row.action->setVisible(false);
        }
    }
    shown_ = std::move(rows);
    keepOnScreen();
}

void TrayMenu::keepOnScreen() {
    // An open menu takes its new size where it stands; a menu that grew past
    // the edge of the screen moves back onto it.
    if (!isVisible() || screen() == nullptr) {
        return;
    }
    const QRect available = screen()->availableGeometry();
    QRect frame = geometry();
    frame.moveRight(std::min(frame.right(), available.right()));
    frame.moveBottom(std::min(frame.bottom(), available.bottom()));
    frame.moveLeft(std::max(frame.left(), available.left()));
    frame.moveTop(std::max(frame.top(), available.top()));
    if (frame.topLeft() != pos()) {
        move(frame.topLeft());
    }
}

QAction* TrayMenu::makeAction(const MenuItem& item) {
    auto* action = new QAction(this);
    action->setObjectName(fromUtf8(item.identifier));
    updateAction(action, item);
    // The action itself is the context: a menu disconnects what it connected
    // to an action when the action leaves it.
    connect(action, &QAction::triggered, action, [this, action] { choose(action); });
    return action;
}

void TrayMenu::choose(QAction* action) {
    const MenuItem* row = rowFor(action);
    // A hidden row is not in the menu any more; a tray may still click it.
    if (row == nullptr || !action->isVisible() || row->command == MenuCommand::none) {
        return;
    }
    const MenuItem item = *row;
    if (item.kind == MenuItem::Kind::toggle) {
        // The check mark follows the monitor, not the click.
        action->setChecked(item.checked);
    }
    perform(item);
}

void TrayMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
    QMenu::initStyleOption(option, action);
    const MenuItem* row = rowFor(action);
    if (row != nullptr && row->kind != MenuItem::Kind::separator) {
        option->text = fromUtf8(withLiteralAmpersands(row->text));
    }
}

void TrayMenu::keyPressEvent(QKeyEvent* event) {
    // The rows have no access keys, but a menu finds some in the "&"s the
    // exported texts keep: a typed character must choose nothing.
    const QString typed = event->text();
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (typed.size() == 1 && typed.at(0).isPrint() && !typed.at(0).isSpace() &&
        (modifiers == Qt::NoModifier || modifiers == Qt::AltModifier)) {
        event->accept();
        return;
    }
    QMenu::keyPressEvent(event);
}

void TrayMenu::perform(const MenuItem& item) {
    ClipboardMonitor& monitor = *state_.monitor();
    switch (item.command) {
        case MenuCommand::none:
            break;
        case MenuCommand::toggleAutoClean:
            monitor.setIsEnabled(!monitor.isEnabled());
            break;
        case MenuCommand::toggleAutoResolve:
            monitor.setAutomaticShareLinkResolutionEnabled(
                !monitor.automaticShareLinkResolutionEnabled());
            break;
        case MenuCommand::cleanNow:
            monitor.cleanNow();
            break;
        case MenuCommand::openSettings:
            if (item.payload.empty()) {
                windows_.showWindow(kSettingsWindowId);
            } else {
                windows_.showSettingsPane(item.payload);
            }
            break;
        case MenuCommand::openReport:
            windows_.showWindow(kReportWindowId);
            break;
        case MenuCommand::openWelcome:
            state_.standardDefaults()->setBool(kWelcomeAcknowledgedKey, true);
            windows_.showWindow(kWelcomeWindowId);
            break;
        case MenuCommand::copyText:
            monitor.writeUserCopy(item.payload);
            break;
        case MenuCommand::clearCommandWarning:
            monitor.clearLastCommandRisk();
            break;
        case MenuCommand::resolveShareLink:
            monitor.resolvePendingShareLink();
            break;
        case MenuCommand::openMapLink:
            openMapLink();
            break;
        case MenuCommand::restoreOriginal:
            (void)monitor.restoreLastOriginal();
            break;
        case MenuCommand::disableCleaningForSite:
            (void)monitor.disableLastDomain();
            break;
        case MenuCommand::showUpdate:
            windows_.showSettingsPane(item.payload);
            break;
        case MenuCommand::quit:
            QCoreApplication::quit();
            break;
    }
}

void TrayMenu::openMapLink() {
    // Converted again from the result in force now, which is the one whose
    // steps the conversion is recorded with.
    ClipboardMonitor& monitor = *state_.monitor();
    const std::optional<CleanResult>& result = monitor.lastCleanedResult();
    if (!result) {
        return;
    }
    const std::optional<MapLinkTransformation> converted =
        MapLinkTransformer::transform(result->cleanedURL);
    if (!converted) {
        return;
    }
    // Recorded only once the link was handed on: a failed open changed nothing.
    if (opener_(QUrl(fromUtf8(converted->url)))) {
        monitor.recordFunctionalTransformation(converted->operation);
    } else {
        Q_EMIT messageForUser(fromUtf8(kMapLinkNotOpenedTitle), fromUtf8(kMapLinkNotOpenedBody));
    }
}

}  // namespace scourlet::app
