#include "app/settings/SettingsWindow.h"

#include <algorithm>
#include <utility>

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QIcon>
#include <QPointer>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/settings/PaneScrollArea.h"
#include "app/settings/PickerWheelGuard.h"
#include "app/shell/WindowIds.h"

namespace scourlet::app {

namespace {

constexpr int kTabSpacing = 8;
constexpr int kRowSpacing = 6;
constexpr int kBarSideMargin = 24;
constexpr int kBarTopMargin = 8;
constexpr int kTabPadding = 8;
constexpr std::size_t kFirstRowPanes = 4;  // Status, Settings, Privacy Redirects, Rules

QString title(SettingsPane pane) {
    const std::string_view raw = rawValue(pane);
    return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
}

}  // namespace

SettingsWindow::SettingsWindow(std::shared_ptr<UserDefaults> standardDefaults,
                               std::vector<std::unique_ptr<SettingsPage>> pages, QWidget* parent)
    : QWidget(parent), defaults_(std::move(standardDefaults)), pages_(std::move(pages)) {
    setObjectName(QStringLiteral("settings-window"));
    setMinimumSize(720, 560);

    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("settings-tab-bar"));
    tabLayout_ = new QGridLayout(bar);
    tabLayout_->setContentsMargins(kBarSideMargin, kBarTopMargin, kBarSideMargin, kBarTopMargin);
    tabLayout_->setHorizontalSpacing(kTabSpacing);
    tabLayout_->setVerticalSpacing(kRowSpacing);
    tabGroup_ = new QButtonGroup(this);
    tabGroup_->setExclusive(true);
    for (SettingsPane pane : allCases<SettingsPane>()) {
        const bool offered = std::any_of(pages_.begin(), pages_.end(),
                                         [pane](const auto& page) { return page->pane() == pane; });
        if (!offered) {
            continue;
        }
        auto* tab = new QToolButton(bar);
        tab->setObjectName(QStringLiteral("settings-tab-") + title(pane));
        tab->setText(title(pane));
        tab->setAccessibleName(title(pane));
        const std::string_view icon = tabIconName(pane);
        tab->setIcon(QIcon::fromTheme(QString::fromUtf8(icon.data(), static_cast<qsizetype>(icon.size()))));
        tab->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        tab->setCheckable(true);
        tab->setAutoRaise(true);
        tab->setFixedWidth(tabWidth(pane) + 2 * kTabPadding);
        tab->setMinimumHeight(30);
        tabGroup_->addButton(tab);
        const auto choose = [this, pane] {
            // Stored first: the key is the selection, and an equal value changes nothing.
            if (defaults_) {
                defaults_->setString(kSelectedSettingsPaneKey, std::string(rawValue(pane)));
            }
            showPane(pane);
        };
        // A tab acts when it becomes checked, however that came: a click, a
        // key, or assistive technology's toggle action, which checks it
        // without a click. A tab checked to show the pane already shown acts
        // on nothing. A click on the tab already checked toggles nothing and
        // still chooses its pane; a click that checked the tab has chosen it.
        connect(tab, &QToolButton::pressed, this, [this] { chosenByToggle_ = nullptr; });
        connect(tab, &QToolButton::toggled, this, [this, tab, pane, choose](bool checked) {
            if (checked && pane != current_) {
                chosenByToggle_ = tab;
                choose();
            }
        });
        connect(tab, &QToolButton::clicked, this, [this, tab, choose] {
            if (std::exchange(chosenByToggle_, nullptr) != tab) {
                choose();
            }
        });
        tabs_[pane] = tab;
    }
    layOutTabs(false);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    stack_ = new QStackedWidget(this);
    stack_->setObjectName(QStringLiteral("settings-pages"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(divider);
    layout->addWidget(stack_, 1);

    if (defaults_) {
        // Stores may call from the writing thread: switch on the window's own turn.
        QPointer<SettingsWindow> self(this);
        storedPaneObservation_ = defaults_->observe(std::string(kSelectedSettingsPaneKey), [self] {
            QMetaObject::invokeMethod(
                self.data(),
                [self] {
                    if (self) {
                        self->selectStoredPane();
                    }
                },
                Qt::QueuedConnection);
        });
    }
    selectStoredPane();
}

SettingsWindow::~SettingsWindow() = default;

QWidget* SettingsWindow::paneWidget(SettingsPane pane) const {
    auto found = widgets_.find(pane);
    return found == widgets_.end() ? nullptr : found->second;
}

void SettingsWindow::selectStoredPane() {
    SettingsPane pane = paneFromStored(defaults_ ? defaults_->stringForKey(kSelectedSettingsPaneKey)
                                                 : std::nullopt);
    if (!tabs_.count(pane)) {
        pane = kDefaultSettingsPane;
    }
    showPane(pane);
}

void SettingsWindow::showPane(SettingsPane pane) {
    auto tab = tabs_.find(pane);
    if (tab == tabs_.end()) {
        return;
    }
    current_ = pane;  // first: the tab's toggle below is no choice of the user's
    tab->second->setChecked(true);
    // Tab stops at the checked tab only (the arrow keys move between tabs).
    // Qt moves that stop when a tab takes the focus; a tab checked without it
    // (a screen reader's toggle, the stored pane) takes it here, so that Tab
    // does not lead back to the tab of a pane that is gone.
    for (const auto& [shownPane, button] : tabs_) {
        const Qt::FocusPolicy policy = button->focusPolicy();
        button->setFocusPolicy(shownPane == pane ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                 : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
    QWidget* widget = paneWidget(pane);
    if (widget == nullptr) {
        auto page = std::find_if(pages_.begin(), pages_.end(),
                                 [pane](const auto& p) { return p->pane() == pane; });
        QWidget* content = (*page)->createWidget(nullptr);
        if (pane == SettingsPane::privacyRedirects) {
            // The one pane that does not scroll by itself.
            auto* scroll = new PaneScrollArea(title(pane));
            scroll->setObjectName(QStringLiteral("settings-pane-scroll"));
            scroll->setWidgetResizable(true);
            scroll->setWidget(content);
            widget = scroll;
        } else {
            widget = content;
        }
        PickerWheelGuard::install(widget);
        stack_->addWidget(widget);
        widgets_[pane] = widget;
    }
    stack_->setCurrentWidget(widget);
    // Chosen with the focus on another tab (a screen reader checked this one,
    // or the stored pane changed): the focus goes with the pane shown, to its
    // tab, instead of staying on the tab of a pane that is gone.
    QWidget* focused = focusWidget();
    const bool onAnotherTab = focused != tab->second &&
                              std::any_of(tabs_.begin(), tabs_.end(), [focused](const auto& other) {
                                  return other.second == focused;
                              });
    if (onAnotherTab) {
        tab->second->setFocus(Qt::OtherFocusReason);
    }
}

int SettingsWindow::oneRowWidth() const {
    int width = 2 * kBarSideMargin;
    for (const auto& [pane, tab] : tabs_) {
        width += tab->width() + kTabSpacing;
    }
    return width - kTabSpacing;
}

void SettingsWindow::layOutTabs(bool wrapped) {
    wrapped_ = wrapped;
    for (const auto& [pane, tab] : tabs_) {
        tabLayout_->removeWidget(tab);
    }
    int row = 0;
    int column = 0;
    for (const auto& [pane, tab] : tabs_) {  // declaration order: the map's key order
        const bool secondRow = wrapped && static_cast<std::size_t>(pane) >= kFirstRowPanes;
        if (secondRow && row == 0) {
            row = 1;
            column = 0;
        }
        tabLayout_->addWidget(tab, row, column++, Qt::AlignLeft);
    }
    tabLayout_->setColumnStretch(static_cast<int>(allCases<SettingsPane>().size()), 1);
}

void SettingsWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const bool wrap = event->size().width() < oneRowWidth();
    if (wrap != wrapped_) {
        layOutTabs(wrap);
    }
}

}  // namespace scourlet::app
