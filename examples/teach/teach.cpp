#include "teach.h"

#include <tessel/interface/interfacemanager.h>
#include <tessel/log/logline.h>
#include <tessel/log/qflog.h>
#include <tessel/plugin/pluginregister.h>
#include <tessel/ui/catalogtranslator.h>
#include <tessel/ui/pluginui.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tessel {

namespace {

const QString kName = QStringLiteral("Teach");
// Where the controller reports how a move ended.
const QString kMoveReport = QStringLiteral("move.last_error_with_setting");
const QString kTool = QStringLiteral("tool0");
const QString kWobj = QStringLiteral("wobj0");

QFLog teachLog()
{
    return QFLog(logColour(LogKind::Info), logTag(LogKind::Info), QString(),
                 QStringLiteral("./log/tessel/Teach/Teach"), QStringLiteral("log"));
}

const bool registered = [] {
    tesselFactory().regist(kName, [](QObject *parent) { return new Teach(parent); });
    return true;
}();

QPushButton *button(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    return b;
}

} // namespace

Teach::Teach(QObject *parent)
    : PluginBase(parent)
{
    // Before the first tr(): the label already shows in the host's language.
    CatalogTranslator::install(QStringLiteral("teach"));
    setPluginLabel(tr("Teach"));
}

Teach::~Teach()
{
    tesselInterface().disconnectVantorData(kName, kMoveReport, QStringLiteral("report"));
}

void Teach::init()
{
    // The host owns the page from here on.
    CreateCenterWidget(kName, buildPage());

    InterfaceManager &robot = tesselInterface();
    connect(&robot, &InterfaceManager::sigNetworkConnect, this, [this] {
        refreshPoints();
        say(tr("Controller connected"));
    });
    connect(&robot, &InterfaceManager::sigNetworkDisConnect, this,
            [this] { say(tr("Controller disconnected")); });
    // The callback may outlive the page: it holds the label weakly.
    QPointer<QLabel> status = m_status;
    robot.connectVantorData(
        kName, kMoveReport,
        [this, status](const QVariant &report) {
            if (status)
                showMoveReport(report);
        },
        QStringLiteral("report"));
    refreshPoints();
    teachLog() << "Teach::init" << "[out]";
}

QWidget *Teach::buildPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("teachPage"));
    auto *layout = new QHBoxLayout(page);

    auto *listBox = new QGroupBox(tr("Points"), page);
    auto *listLayout = new QVBoxLayout(listBox);
    m_points = new QListWidget(listBox);
    m_points->setObjectName(QStringLiteral("pointList"));
    listLayout->addWidget(m_points);
    m_name = new QLineEdit(listBox);
    m_name->setObjectName(QStringLiteral("pointName"));
    m_name->setPlaceholderText(tr("Point name"));
    listLayout->addWidget(m_name);
    auto *recordJoint
        = button(QStringLiteral("recordJointBtn"), tr("Record joint point"), listBox);
    auto *recordCart
        = button(QStringLiteral("recordCartBtn"), tr("Record Cartesian point"), listBox);
    listLayout->addWidget(recordJoint);
    listLayout->addWidget(recordCart);
    layout->addWidget(listBox, 1);

    auto *right = new QVBoxLayout;
    auto *poseBox = new QGroupBox(tr("Cartesian pose (mm, deg)"), page);
    auto *poseLayout = new QGridLayout(poseBox);
    const QStringList axes = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z"),
                              QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
    for (int i = 0; i < axes.size(); ++i) {
        auto *spin = new QDoubleSpinBox(poseBox);
        spin->setObjectName(QStringLiteral("pose%1").arg(axes.at(i)));
        spin->setRange(i < 3 ? -5000.0 : -360.0, i < 3 ? 5000.0 : 360.0);
        spin->setDecimals(3);
        poseLayout->addWidget(new QLabel(axes.at(i), poseBox), i % 3, (i / 3) * 2);
        poseLayout->addWidget(spin, i % 3, (i / 3) * 2 + 1);
        m_pose.append(spin);
    }
    auto *apply = button(QStringLiteral("applyPoseBtn"), tr("Apply to point"), poseBox);
    poseLayout->addWidget(apply, 3, 0, 1, 4);
    right->addWidget(poseBox);

    auto *moveBox = new QGroupBox(tr("Motion"), page);
    auto *moveLayout = new QFormLayout(moveBox);
    m_from = new QComboBox(moveBox);
    m_from->setObjectName(QStringLiteral("fromPoint"));
    moveLayout->addRow(tr("Check from"), m_from);
    m_speed = new QSpinBox(moveBox);
    m_speed->setObjectName(QStringLiteral("speed"));
    m_speed->setRange(1, 2000);
    m_speed->setValue(250);
    moveLayout->addRow(tr("Speed"), m_speed);
    m_jointMove = new QCheckBox(tr("Joint move"), moveBox);
    m_jointMove->setObjectName(QStringLiteral("jointMove"));
    m_jointMove->setChecked(true);
    moveLayout->addRow(m_jointMove);
    auto *buttons = new QHBoxLayout;
    auto *check = button(QStringLiteral("checkMoveBtn"), tr("Check move"), moveBox);
    auto *move = button(QStringLiteral("moveBtn"), tr("Move to point"), moveBox);
    auto *stopButton = button(QStringLiteral("stopBtn"), tr("Stop"), moveBox);
    for (QPushButton *b : {check, move, stopButton})
        buttons->addWidget(b);
    moveLayout->addRow(buttons);
    right->addWidget(moveBox);

    m_status = new QLabel(page);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    m_status->setWordWrap(true);
    // A long controller report must not widen the host's window.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    right->addWidget(m_status);
    right->addStretch(1);
    layout->addLayout(right, 1);

    connect(m_points, &QListWidget::currentTextChanged, this, &Teach::showPoint);
    connect(recordJoint, &QPushButton::clicked, this, [this] { record(true); });
    connect(recordCart, &QPushButton::clicked, this, [this] { record(false); });
    connect(apply, &QPushButton::clicked, this, &Teach::applyPose);
    connect(check, &QPushButton::clicked, this, &Teach::checkMove);
    connect(move, &QPushButton::clicked, this, &Teach::moveToPoint);
    connect(stopButton, &QPushButton::clicked, this, &Teach::stop);
    return page;
}

void Teach::refreshPoints(const QString &select)
{
    const QString keep = select.isEmpty() ? selectedPoint() : select;
    const QStringList names = tesselInterface().getPointNameList();
    m_points->clear();
    m_points->addItems(names);
    const QString from = m_from->currentText();
    m_from->clear();
    m_from->addItems(names);
    m_from->setCurrentText(from);
    const QList<QListWidgetItem *> found = m_points->findItems(keep, Qt::MatchExactly);
    if (!found.isEmpty())
        m_points->setCurrentItem(found.constFirst());
}

void Teach::showPoint(const QString &name)
{
    const QVector<double> pose = tesselInterface().getPointDataByName(name);
    for (int i = 0; i < m_pose.size() && i < pose.size(); ++i)
        m_pose.at(i)->setValue(pose.at(i));
    if (!name.isEmpty())
        m_name->setText(name);
}

void Teach::record(bool joint)
{
    const QString name = m_name->text().trimmed();
    if (name.isEmpty()) {
        say(tr("Enter a point name first"));
        return;
    }
    if (!tesselInterface().addCurrentPoint(name, joint, kTool, kWobj)) {
        say(tr("Could not record %1: no position from the controller").arg(name));
        return;
    }
    refreshPoints(name);
    say(joint ? tr("Recorded joint point %1").arg(name)
              : tr("Recorded Cartesian point %1").arg(name));
}

void Teach::applyPose()
{
    const QString name = selectedPoint();
    if (name.isEmpty()) {
        say(tr("Select a point first"));
        return;
    }
    QVector<double> pose;
    for (QDoubleSpinBox *spin : qAsConst(m_pose))
        pose.append(spin->value());
    tesselInterface().changeCartPoint(name, pose);
    showPoint(name);
    say(tr("Changed %1").arg(name));
}

void Teach::checkMove()
{
    const QString from = m_from->currentText();
    const QString to = selectedPoint();
    const int verdict = tesselInterface().checkPointMoveTo(from, to);
    say(verdict < 0 ? tr("Move %1 -> %2 refused").arg(from, to)
                    : tr("Move %1 -> %2 possible").arg(from, to));
}

void Teach::moveToPoint()
{
    const QString name = selectedPoint();
    int result = 0;
    tesselInterface().moveToStart(result, name, m_speed->value(), m_jointMove->isChecked());
    say(result < 0 ? tr("No point %1").arg(name) : tr("Moving to %1").arg(name));
}

void Teach::stop()
{
    tesselInterface().moveToStop();
    say(tr("Stopped"));
}

void Teach::showMoveReport(const QVariant &report)
{
    const QJsonValue value = QJsonValue::fromVariant(report);
    const QJsonObject object = value.toObject();
    if (object.contains(QStringLiteral("state"))) {
        say(tr("Move %1: %2 (error %3)")
                .arg(object.value(QStringLiteral("state")).toString(),
                     object.value(QStringLiteral("msg")).toString())
                .arg(object.value(QStringLiteral("error")).toInt()));
        return;
    }
    QString text = value.toVariant().toString();
    if (value.isObject())
        text = QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    else if (value.isArray())
        text = QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    say(tr("Controller: %1").arg(text));
}

QString Teach::selectedPoint() const
{
    const QListWidgetItem *item = m_points->currentItem();
    return item ? item->text() : QString();
}

void Teach::say(const QString &text)
{
    m_status->setText(text);
    teachLog() << "Teach: " << text;
}

} // namespace tessel
