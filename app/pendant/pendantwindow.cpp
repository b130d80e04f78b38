#include "pendantwindow.h"

#include "pagehost.h"
#include "programeditor.h"
#include "robotview.h"

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <mirel/physicalbutton.h>
#include <mirel/settingmanager.h>
#include <nabuCore/moduleobject.h>
#include <nabuSkald/centerwidget.h>
#include <nabuSkald/statusbar.h>
#include <nabusrv/lumo.h>
#include <nabusrv/vantor.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kNavigationGroup = QStringLiteral("robot.pack");
constexpr int kNavRole = Qt::UserRole + 1;

void clearLayout(QVBoxLayout *layout)
{
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget())
            widget->deleteLater();
        delete item;
    }
}

} // namespace

PendantWindow::PendantWindow(const QSize &size, QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("pendantWindow"));
    setWindowTitle(tr("Teach pendant emulator"));
    // A pendant's screen does not grow with its pages.
    setFixedSize(size);

    auto *frame = new QWidget(this);
    auto *frameLayout = new QHBoxLayout(frame);
    frameLayout->setContentsMargins(6, 6, 6, 6);

    m_leftButtons = new QVBoxLayout;
    m_rightButtons = new QVBoxLayout;
    frameLayout->addLayout(m_leftButtons);

    auto *screen = new QWidget(frame);
    screen->setObjectName(QStringLiteral("screen"));
    auto *screenLayout = new QVBoxLayout(screen);
    screenLayout->setContentsMargins(0, 0, 0, 0);
    screenLayout->setSpacing(2);

    m_status = new skald::StatusBar(screen);
    m_status->setAttribute(Qt::WA_StyledBackground, true);
    screenLayout->addWidget(m_status);
    m_robotLabel = qobject_cast<QLabel *>(m_status->item(QStringLiteral("rovan.body.statuspage.robot")));
    m_linkLabel = qobject_cast<QLabel *>(m_status->item(QStringLiteral("rovan.body.statuspage.link")));

    auto *splitter = new QSplitter(Qt::Vertical, screen);
    auto *body = new QWidget(splitter);
    auto *bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    m_navigation = new QListWidget(body);
    m_navigation->setObjectName(QStringLiteral("navigation"));
    m_navigation->setFixedWidth(170);
    m_centerScroll = new QScrollArea(body);
    m_centerScroll->setObjectName(QStringLiteral("centerScroll"));
    m_centerScroll->setFrameShape(QFrame::NoFrame);
    m_centerScroll->setWidgetResizable(true);
    m_center = new skald::CenterWidget(m_centerScroll);
    m_pageHost = new PageHost(m_center, m_centerScroll);
    m_centerScroll->setWidget(m_pageHost);
    // The plug-in's page comes first; the robot view and program editor beside it give way
    // (drag the handle), and start folded away on screens narrower than a pendant's.
    auto *sides = new QSplitter(Qt::Horizontal, body);
    sides->setObjectName(QStringLiteral("sideSplitter"));
    sides->setChildrenCollapsible(true);
    m_centerScroll->setParent(sides);
    sides->addWidget(m_centerScroll);
    m_sidePanel = new QTabWidget(sides);
    m_sidePanel->setObjectName(QStringLiteral("sidePanel"));
    m_sidePanel->setMinimumWidth(220);
    m_robotView = new RobotView(m_sidePanel);
    m_sidePanel->addTab(m_robotView, tr("Robot"));
    m_programEditor = new ProgramEditor(m_sidePanel);
    m_sidePanel->addTab(m_programEditor, tr("Program"));
    sides->addWidget(m_sidePanel);
    sides->setCollapsible(0, false);
    sides->setStretchFactor(0, 1);
    sides->setStretchFactor(1, 0);
    constexpr int kSidePanelWidth = 240;
    sides->setSizes({size.width(), size.width() >= 1280 ? kSidePanelWidth : 0});
    bodyLayout->addWidget(m_navigation);
    bodyLayout->addWidget(sides, 1);
    m_messages = new QPlainTextEdit(splitter);
    m_messages->setObjectName(QStringLiteral("messageArea"));
    m_messages->setReadOnly(true);
    m_messages->setMaximumBlockCount(500);
    splitter->addWidget(body);
    splitter->addWidget(m_messages);
    splitter->setStretchFactor(0, 5);
    splitter->setStretchFactor(1, 1);
    screenLayout->addWidget(splitter, 1);

    frameLayout->addWidget(screen, 1);
    frameLayout->addLayout(m_rightButtons);
    setCentralWidget(frame);

    // A pendant's dark housing around a light screen.
    frame->setObjectName(QStringLiteral("housing"));
    frame->setStyleSheet(QStringLiteral(
        "QWidget#housing { background-color: #2b2f36; }"
        "QWidget#housing > QPushButton { background-color: #48505c; color: #f2f4f7;"
        " border: 1px solid #1c1f24; border-radius: 6px; }"
        "QWidget#housing > QPushButton:disabled { color: #8a919c; }"
        "QWidget#screen { background-color: #f0f0f0; }"
        "QWidget#statusBar { background-color: #1f3a5a; }"
        "QWidget#statusBar QLabel { color: #ffffff; padding: 2px 8px; }"
        "QListWidget#navigation { background-color: #e4e8ee; border: none; }"
        "QListWidget#navigation::item:selected { background-color: #2d5b8a; color: #ffffff; }"
        "QPlainTextEdit#messageArea { background-color: #fbfbf7; border: 1px solid #c8ccd2; }"));

    connect(m_center, &QStackedWidget::currentChanged, this, &PendantWindow::fitCenterToPage);
    connect(m_center, &skald::CenterWidget::pagesChanged, this, &PendantWindow::fitCenterToPage);
    connect(m_navigation, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem *current) {
                if (current)
                    m_center->showPage(current->data(kNavRole).toString());
            });

    nabu::ModuleObject *pages = sv::lumo::pageList(kNavigationGroup);
    connect(pages, &nabu::ModuleObject::changed, this, &PendantWindow::scheduleNavigationRefresh);
    connect(pages, &nabu::ModuleObject::childAdded, this,
            &PendantWindow::scheduleNavigationRefresh);
    connect(pages, &nabu::ModuleObject::childRemoved, this,
            &PendantWindow::scheduleNavigationRefresh);
    connect(m_center, &skald::CenterWidget::pagesChanged, this,
            &PendantWindow::scheduleNavigationRefresh);

    mirel::ManagerHelper *helper = mirel::ManagerHelper::instance();
    connect(helper, &mirel::ManagerHelper::operatorMessage, this,
            [this](const QString &level, const QString &text) {
                showText(QStringLiteral("[%1] %2").arg(level, text));
            });
    connect(mirel::PhysicalButtonRegistry::instance(), &mirel::PhysicalButtonRegistry::changed,
            this, &PendantWindow::refreshButtons);

    nabu::ModuleObject *connected = sv::vantor()->mobj()->c(QStringLiteral("connected"));
    connect(connected, &nabu::ModuleObject::changed, this, &PendantWindow::refreshLinkState);
    connect(helper->controllerManager(), &mirel::ControllerManager::rcConnected, this,
            &PendantWindow::refreshLinkState);
    connect(helper->controllerManager(), &mirel::ControllerManager::rcDisconnected, this,
            &PendantWindow::refreshLinkState);

    refreshNavigation();
    refreshButtons();
    refreshLinkState();
}

PendantWindow::~PendantWindow() = default;

skald::CenterWidget *PendantWindow::centerArea() const
{
    return m_center;
}

skald::StatusBar *PendantWindow::statusArea() const
{
    return m_status;
}

QScrollArea *PendantWindow::centerScroll() const
{
    return m_centerScroll;
}

QListWidget *PendantWindow::navigation() const
{
    return m_navigation;
}

RobotView *PendantWindow::robotView() const
{
    return m_robotView;
}

ProgramEditor *PendantWindow::programEditor() const
{
    return m_programEditor;
}

void PendantWindow::showProgramEditor()
{
    m_sidePanel->setCurrentWidget(m_programEditor);
}

QPlainTextEdit *PendantWindow::messageArea() const
{
    return m_messages;
}

QList<QPair<QString, QString>> PendantWindow::navigationEntries() const
{
    QList<QPair<QString, QString>> entries;
    const QList<nabu::ModuleObject *> items = sv::lumo::pageList(kNavigationGroup)->cmobjs();
    for (nabu::ModuleObject *entry : items) {
        const QString nav = entry->hasCmobj(QStringLiteral("nav"))
                                ? entry->c(QStringLiteral("nav"))->getString()
                                : QString();
        const QString title = entry->hasCmobj(QStringLiteral("title"))
                                  ? entry->c(QStringLiteral("title"))->getString()
                                  : nav;
        if (!nav.isEmpty())
            entries.append(qMakePair(title, nav));
    }
    return entries;
}

bool PendantWindow::showNavigation(const QString &nav)
{
    for (int i = 0; i < m_navigation->count(); ++i) {
        if (m_navigation->item(i)->data(kNavRole).toString() == nav) {
            m_navigation->setCurrentRow(i);
            // The row may be current already while another page shows: the list was refilled
            // with its signals blocked after a later plug-in added its page.
            m_center->showPage(nav);
            return m_center->currentKey() == nav;
        }
    }
    return false;
}

void PendantWindow::showText(const QString &text)
{
    m_messages->appendPlainText(text);
    emit message(text);
}

void PendantWindow::setControllerAddress(const QString &address)
{
    m_controllerAddress = address;
    refreshLinkState();
}

void PendantWindow::scheduleNavigationRefresh()
{
    // Entries are filled in after they are registered; read them once the caller is done.
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPending = false;
        refreshNavigation();
    });
}

void PendantWindow::refreshNavigation()
{
    const QString current = m_navigation->currentItem()
                                ? m_navigation->currentItem()->data(kNavRole).toString()
                                : QString();
    const QSignalBlocker blocker(m_navigation);
    m_navigation->clear();
    const QList<QPair<QString, QString>> entries = navigationEntries();
    for (const auto &entry : entries) {
        auto *item = new QListWidgetItem(entry.first, m_navigation);
        item->setData(kNavRole, entry.second);
        item->setSizeHint(QSize(160, 44));
        // An entry whose page is gone cannot be shown.
        if (!m_center->page(entry.second))
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        if (entry.second == current)
            m_navigation->setCurrentItem(item);
    }
    if (!m_navigation->currentItem() && m_navigation->count() > 0) {
        m_navigation->setCurrentRow(0);
        m_center->showPage(m_navigation->item(0)->data(kNavRole).toString());
    }
}

void PendantWindow::refreshButtons()
{
    clearLayout(m_leftButtons);
    clearLayout(m_rightButtons);
    mirel::PhysicalButtonRegistry *registry = mirel::PhysicalButtonRegistry::instance();
    const QList<mirel::PhysicalButtonRegistry::Registration> regs = registry->registrations();
    for (const auto &reg : regs) {
        for (int list = 0; list < 2; ++list) {
            const QList<mirel::PhysicalButton> &buttons = list == 0 ? reg.list1 : reg.list2;
            QVBoxLayout *column = list == 0 ? m_leftButtons : m_rightButtons;
            for (int i = 0; i < buttons.size(); ++i) {
                auto *button = new QPushButton(buttons.at(i).icon, buttons.at(i).text, this);
                button->setObjectName(QStringLiteral("phy.%1.%2.%3").arg(reg.key).arg(list).arg(i));
                button->setMinimumSize(72, 48);
                button->setEnabled(reg.enabled);
                const QString key = reg.key;
                connect(button, &QPushButton::clicked, registry,
                        [registry, key, list, i] { registry->press(key, list, i); });
                column->addWidget(button);
            }
        }
    }
    m_leftButtons->addStretch(1);
    m_rightButtons->addStretch(1);
}

void PendantWindow::refreshLinkState()
{
    const bool up = sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false);
    m_everUp = m_everUp || up;
    if (m_linkLabel) {
        if (up)
            m_linkLabel->setText(tr("Controller connected"));
        else if (!m_controllerAddress.isEmpty())
            m_linkLabel->setText(m_everUp ? tr("Controller lost, retrying %1")
                                                .arg(m_controllerAddress)
                                          : tr("Controller not reached at %1")
                                                .arg(m_controllerAddress));
        else
            m_linkLabel->setText(tr("Controller disconnected"));
    }
    // What the view shows is where the arm was when the link went.
    m_robotView->setStale(!up);
    if (m_robotLabel) {
        const QString robot =
            mirel::ManagerHelper::instance()->settingManager()->getStr(QStringLiteral("robot"));
        m_robotLabel->setText(up ? robot : QString());
    }
}

void PendantWindow::fitCenterToPage()
{
    // A stacked widget asks for the room of its largest page; the scroll range must follow the
    // page on show, so the hidden ones are ignored.
    static const char *const ownPolicy = "pendantOwnSizePolicy";
    QWidget *current = m_center->currentWidget();
    for (int i = 0; i < m_center->count(); ++i) {
        QWidget *page = m_center->widget(i);
        if (!page->property(ownPolicy).isValid())
            page->setProperty(ownPolicy, QVariant::fromValue(page->sizePolicy()));
        page->setSizePolicy(page == current
                                ? page->property(ownPolicy).value<QSizePolicy>()
                                : QSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored));
    }
    m_center->updateGeometry();
    m_pageHost->followCurrentPage();
}
