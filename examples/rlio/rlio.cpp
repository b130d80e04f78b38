#include "rlio.h"

#include "waitdieditor.h"

#include <tessel/interface/interfacemanager.h>
#include <tessel/log/logline.h>
#include <tessel/log/qflog.h>
#include <tessel/plugin/pluginregister.h>
#include <tessel/rl/rlmanager.h>
#include <tessel/ui/catalogtranslator.h>
#include <tessel/ui/pluginui.h>

#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace tessel {

namespace {

const QString kName = QStringLiteral("RlIo");
const QString kGroup = QStringLiteral("io");
constexpr int kRefreshMs = 500;

QFLog rlioLog()
{
    return QFLog(logColour(LogKind::Info), logTag(LogKind::Info), QString(),
                 QStringLiteral("./log/tessel/RlIo/RlIo"), QStringLiteral("log"));
}

const bool registered = [] {
    tesselFactory().regist(kName, [](QObject *parent) { return new RlIo(parent); });
    return true;
}();

QTableWidget *table(const QString &objectName, const QStringList &headers, QWidget *parent)
{
    auto *t = new QTableWidget(0, headers.size(), parent);
    t->setObjectName(objectName);
    t->setHorizontalHeaderLabels(headers);
    // Names and kinds as wide as they are, the value in what is left: the table never scrolls
    // sideways on a pendant's screen.
    for (int c = 0; c + 1 < headers.size(); ++c)
        t->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    t->horizontalHeader()->setSectionResizeMode(headers.size() - 1, QHeaderView::Stretch);
    t->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return t;
}

QListWidget *list(const QString &objectName, QWidget *parent)
{
    auto *l = new QListWidget(parent);
    l->setObjectName(objectName);
    return l;
}

void setRow(QTableWidget *t, int row, const QStringList &cells)
{
    for (int column = 0; column < cells.size(); ++column) {
        QTableWidgetItem *item = t->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            t->setItem(row, column, item);
        }
        if (item->text() != cells.at(column))
            item->setText(cells.at(column));
    }
}

void setItems(QListWidget *l, const QStringList &items)
{
    QStringList shown;
    for (int i = 0; i < l->count(); ++i)
        shown.append(l->item(i)->text());
    if (shown == items)
        return;
    l->clear();
    l->addItems(items);
}

} // namespace

RlIo::RlIo(QObject *parent)
    : PluginBase(parent)
{
    // Before the first tr(): the label already shows in the host's language.
    CatalogTranslator::install(QStringLiteral("rlio"));
    setPluginLabel(tr("IO and instructions"));
}

RlIo::~RlIo() = default;

void RlIo::init()
{
    // The host owns the page from here on.
    m_page = buildPage();
    CreateCenterWidget(kName, m_page);
    registerInstruction();

    InterfaceManager &robot = tesselInterface();
    connect(&robot, &InterfaceManager::sigNetworkConnect, this, &RlIo::refresh);
    // IO values change under the robot's feet: look again while the page is there.
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &RlIo::refresh);
    m_timer->start(kRefreshMs);
    refresh();
    rlioLog() << "RlIo::init" << "[out]";
}

QWidget *RlIo::buildPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("rlioPage"));
    auto *layout = new QGridLayout(page);

    auto *ioBox = new QGroupBox(tr("IO signals"), page);
    auto *ioLayout = new QVBoxLayout(ioBox);
    m_io = table(QStringLiteral("ioTable"), {tr("Signal"), tr("Kind"), tr("Value")}, ioBox);
    ioLayout->addWidget(m_io);
    layout->addWidget(ioBox, 0, 0, 2, 1);

    auto *registerBox = new QGroupBox(tr("Registers"), page);
    auto *registerLayout = new QVBoxLayout(registerBox);
    m_registers =
        table(QStringLiteral("registerTable"), {tr("Register"), tr("Value")}, registerBox);
    registerLayout->addWidget(m_registers);
    layout->addWidget(registerBox, 0, 1);

    auto *toolBox = new QGroupBox(tr("Tools and work objects"), page);
    auto *toolLayout = new QGridLayout(toolBox);
    m_tools = list(QStringLiteral("toolList"), toolBox);
    m_wobjs = list(QStringLiteral("wobjList"), toolBox);
    m_current = new QLabel(toolBox);
    m_current->setObjectName(QStringLiteral("currentLabel"));
    toolLayout->addWidget(new QLabel(tr("Tools"), toolBox), 0, 0);
    toolLayout->addWidget(new QLabel(tr("Work objects"), toolBox), 0, 1);
    toolLayout->addWidget(m_tools, 1, 0);
    toolLayout->addWidget(m_wobjs, 1, 1);
    toolLayout->addWidget(m_current, 2, 0, 1, 2);
    layout->addWidget(toolBox, 1, 1);

    auto *hint = new QLabel(tr("The instruction WaitDI is in the program editor's group \"IO\"."),
                            page);
    hint->setObjectName(QStringLiteral("instructionHint"));
    layout->addWidget(hint, 2, 0, 1, 2);
    // The signals' three columns need about as much room as the registers' two.
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    return page;
}

void RlIo::registerInstruction()
{
    RLManager rl(nullptr);
    const QString name = WaitDIEditor::Name;
    const auto editor = []() -> RLContentBase * { return new WaitDIEditor; };
    rl.createGroups(kGroup, tr("IO"));
    rl.createData(kGroup, name, tr("WaitDI <signal>, <value>: waits until the digital input "
                                   "has the value (0 or 1)."),
                  editor, editor);
    // The instruction takes arguments: its own skeleton, pattern and default replace the
    // bare keyword's.
    rl.createSkeleton(name, QStringLiteral("WaitDI <signal>, <value>"));
    rl.createPattern(name, QStringLiteral("^\\s*WaitDI\\s+\\w+\\s*,\\s*[01]\\s*(?://.*)?$"));
    rl.createInsDefault(name, QStringLiteral("WaitDI di_start, 1"));
}

void RlIo::refresh()
{
    if (!m_page) {
        m_timer->stop();
        return;
    }
    InterfaceManager &robot = tesselInterface();
    const QHash<QString, QVariant> values = robot.getIOHash();
    const QStringList kinds = {QStringLiteral("DI"), QStringLiteral("DO"), QStringLiteral("GI"),
                               QStringLiteral("GO"), QStringLiteral("AI"), QStringLiteral("AO")};
    QList<QStringList> rows;
    for (const QString &kind : kinds) {
        const QStringList names = robot.getIOByType(kind);
        for (const QString &name : names)
            rows.append({name, kind, values.value(name).toString()});
    }
    m_io->setRowCount(rows.size());
    for (int i = 0; i < rows.size(); ++i)
        setRow(m_io, i, rows.at(i));

    const QHash<QString, QStringList> registers = robot.getRegisterHash();
    QStringList names = registers.keys();
    names.sort();
    m_registers->setRowCount(names.size());
    for (int i = 0; i < names.size(); ++i)
        setRow(m_registers, i,
               {names.at(i), registers.value(names.at(i)).join(QStringLiteral(", "))});

    setItems(m_tools, robot.getToolList());
    setItems(m_wobjs, robot.getWobjList());
    m_current->setText(tr("Current tool: %1, work object: %2")
                           .arg(robot.getCurTool(), robot.getCurWobj()));
}

} // namespace tessel
