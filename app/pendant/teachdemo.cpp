#include "teachdemo.h"

#include "controllerprobe.h"
#include "eventwait.h"
#include "robotview.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QSpinBox>

#include <cmath>

namespace {

const QString kFirst = QStringLiteral("DemoA");
const QString kSecond = QStringLiteral("DemoB");
constexpr int kMoveMs = 20000;
constexpr double kArrivedDeg = 0.05;
constexpr int kSlowSpeed = 1;
// How far the arm goes before the operator stops it: seen, and far from the end.
constexpr double kLeftDeg = 0.5;
constexpr int kPoseMs = 3000;

// Where the operator jogs the arm before teaching the second point, from the first.
const double kJog[] = {35.0, -20.0, 25.0, 15.0, 30.0, 40.0, 0.0};

bool near(const QVector<double> &a, const QVector<double> &b)
{
    if (a.size() != b.size() || a.isEmpty())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (std::abs(a.at(i) - b.at(i)) > kArrivedDeg)
            return false;
    }
    return true;
}

QString joints(const QVector<double> &values)
{
    QStringList parts;
    for (double v : values)
        parts.append(QString::number(v, 'f', 1));
    return parts.join(QStringLiteral(", "));
}

} // namespace

TeachDemo::TeachDemo(QWidget *page, ControllerProbe *controller, RobotView *view,
                     const QString &folder, QObject *parent)
    : QObject(parent)
    , m_page(page)
    , m_controller(controller)
    , m_view(view)
    , m_folder(folder)
{
}

TeachDemo::~TeachDemo() = default;

QWidget *TeachDemo::findPage(QWidget *root)
{
    if (!root)
        return nullptr;
    if (root->objectName() == QLatin1String("teachPage"))
        return root;
    return root->findChild<QWidget *>(QStringLiteral("teachPage"));
}

int TeachDemo::run()
{
    int succeeded = 0;
    for (int i = 0; i < StepCount; ++i) {
        QString detail;
        const bool ok = m_page && runStep(i, &detail);
        say(QStringLiteral("Teach demo step %1: %2%3")
                .arg(i + 1)
                .arg(ok ? QStringLiteral("ok") : QStringLiteral("FAILED"))
                .arg(detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(detail)));
        if (!ok)
            break;
        ++succeeded;
    }
    say(QStringLiteral("Teach demo: %1 of %2 steps succeeded").arg(succeeded).arg(StepCount));
    return succeeded;
}

QStringList TeachDemo::pictures() const
{
    return m_pictures;
}

bool TeachDemo::runStep(int index, QString *detail)
{
    switch (index) {
    case 0:
        eventwait::until([this] { return !m_controller->joints().isEmpty(); }, kPoseMs);
        m_first = m_controller->joints();
        if (m_first.isEmpty()) {
            *detail = QStringLiteral("the controller reports no robot position");
            return false;
        }
        *detail = QStringLiteral("robot at %1").arg(joints(m_first));
        return saveView(QStringLiteral("teach-robot-view-before.png"), detail);
    case 1:
        return teach(kFirst, QStringLiteral("recordJointBtn"), detail);
    case 2: {
        // The operator jogs the arm, then records a Cartesian point.
        m_second = m_first;
        for (int i = 0; i < m_second.size() && i < int(std::size(kJog)); ++i)
            m_second[i] += kJog[i];
        if (!m_controller->setJoints(m_second)) {
            *detail = QStringLiteral("the controller refused to place the robot");
            return false;
        }
        return teach(kSecond, QStringLiteral("recordCartBtn"), detail);
    }
    case 3: {
        auto *from = m_page->findChild<QComboBox *>(QStringLiteral("fromPoint"));
        if (!from || !select(kFirst)) {
            *detail = QStringLiteral("no point list");
            return false;
        }
        from->setCurrentText(kSecond);
        if (!press(QStringLiteral("checkMoveBtn"), detail))
            return false;
        *detail = status();
        // The page speaks the operator's language: compare with its own catalogue's verdict.
        return status()
               == QCoreApplication::translate("tessel::Teach", "Move %1 -> %2 possible")
                      .arg(kSecond, kFirst);
    }
    case 4:
        if (!moveTo(kFirst, true, detail) || !moveTo(kSecond, false, detail))
            return false;
        return saveView(QStringLiteral("teach-robot-view-after.png"), detail);
    case 5:
        return moveAndStop(kFirst, detail);
    }
    return false;
}

bool TeachDemo::saveView(const QString &name, QString *detail)
{
    eventwait::settle(100);
    const QString file = QDir(m_folder).filePath(name);
    QDir().mkpath(m_folder);
    if (!m_view || m_view->links().isEmpty() || !m_view->grab().save(file, "PNG")) {
        *detail = QStringLiteral("robot view not drawn");
        return false;
    }
    m_pictures.append(file);
    say(QStringLiteral("robot view saved to %1")
            .arg(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath())));
    return true;
}

bool TeachDemo::teach(const QString &name, const QString &button, QString *detail)
{
    auto *edit = m_page->findChild<QLineEdit *>(QStringLiteral("pointName"));
    auto *list = m_page->findChild<QListWidget *>(QStringLiteral("pointList"));
    if (!edit || !list) {
        *detail = QStringLiteral("no name field");
        return false;
    }
    edit->setText(name);
    if (!press(button, detail))
        return false;
    *detail = status();
    return !list->findItems(name, Qt::MatchExactly).isEmpty();
}

bool TeachDemo::moveTo(const QString &name, bool joint, QString *detail)
{
    const QVector<double> target = name == kFirst ? m_first : m_second;
    auto *jointMove = m_page->findChild<QCheckBox *>(QStringLiteral("jointMove"));
    if (!jointMove || !select(name)) {
        *detail = QStringLiteral("no point %1").arg(name);
        return false;
    }
    jointMove->setChecked(joint);
    if (!press(QStringLiteral("moveBtn"), detail))
        return false;
    const bool arrived = eventwait::until(
        [this, target] {
            return !m_controller->isMoving() && near(m_controller->joints(), target);
        },
        kMoveMs);
    *detail = QStringLiteral("%1 move to %2: %3, robot at %4")
                  .arg(joint ? QStringLiteral("joint") : QStringLiteral("linear"), name,
                       arrived ? QStringLiteral("arrived") : QStringLiteral("did not arrive"),
                       joints(m_controller->joints()));
    say(*detail);
    return arrived;
}

// A slow move, stopped at once: the robot halts on its way and no longer moves.
bool TeachDemo::moveAndStop(const QString &name, QString *detail)
{
    auto *speed = m_page->findChild<QSpinBox *>(QStringLiteral("speed"));
    if (!speed || !select(name)) {
        *detail = QStringLiteral("no point %1").arg(name);
        return false;
    }
    const QVector<double> start = m_controller->joints();
    const int previous = speed->value();
    speed->setValue(kSlowSpeed);
    const bool sent = press(QStringLiteral("moveBtn"), detail)
                      && eventwait::until([this] { return m_controller->isMoving(); }, kMoveMs);
    // Stopped once the arm is seen leaving, whatever pace the robot moves at.
    const bool left = sent && eventwait::until(
                                  [this, start] {
                                      const QVector<double> now = m_controller->joints();
                                      for (int i = 0; i < now.size() && i < start.size(); ++i) {
                                          if (std::abs(now.at(i) - start.at(i)) > kLeftDeg)
                                              return true;
                                      }
                                      return false;
                                  },
                                  kMoveMs);
    const bool stopped = left && press(QStringLiteral("stopBtn"), detail);
    speed->setValue(previous);
    const bool halted =
        stopped && eventwait::until([this] { return !m_controller->isMoving(); }, kMoveMs);
    const QVector<double> now = m_controller->joints();
    *detail = QStringLiteral("stopped on the way to %1 at %2").arg(name, joints(now));
    return halted && !near(now, m_first) && !near(now, start);
}

bool TeachDemo::select(const QString &name)
{
    auto *list = m_page->findChild<QListWidget *>(QStringLiteral("pointList"));
    const QList<QListWidgetItem *> found =
        list ? list->findItems(name, Qt::MatchExactly) : QList<QListWidgetItem *>();
    if (found.isEmpty())
        return false;
    list->setCurrentItem(found.constFirst());
    return true;
}

bool TeachDemo::press(const QString &button, QString *detail)
{
    auto *b = m_page->findChild<QAbstractButton *>(button);
    if (!b || !b->isEnabled()) {
        *detail = QStringLiteral("no button %1").arg(button);
        return false;
    }
    b->click();
    eventwait::until([] { return false; }, 0);
    return true;
}

QString TeachDemo::status() const
{
    auto *label = m_page ? m_page->findChild<QLabel *>(QStringLiteral("statusLabel")) : nullptr;
    return label ? label->text() : QString();
}

void TeachDemo::say(const QString &text)
{
    emit message(text);
}
