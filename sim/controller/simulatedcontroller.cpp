#include "simulatedcontroller.h"

#include "controllerjson.h"
#include "dhbook.h"
#include "compliancebook.h"
#include "motionservice.h"
#include "programstore.h"
#include "robotiobook.h"
#include "robotmotion.h"

#include <sim/cell/virtualcell.h>
#include <sim/kinematics/robotcatalogue.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace sim {

namespace {

const QString kGetParams = QStringLiteral("system.controller.get_params");
const QString kReboot = QStringLiteral("system.controller.reboot");
const QString kMoveLastError = QStringLiteral("move.last_error_with_setting");
// The simulator's own instruments, plainly apart from the controller's commands.
const QString kTrackerMeasure = QStringLiteral("sim.tracker.measure");
const QString kTrackerNoise = QStringLiteral("sim.tracker.set_noise");
const QString kTrackerInterrupt = QStringLiteral("sim.tracker.interrupt");
// The tracker's answer when the beam does not reach the reflector: nothing was measured.
constexpr int kBeamNotSeen = -50008;
// A test cuts the beam for a few readings; more than this is no test of a passer-by.
constexpr int kMaxInterruptedReadings = 1000;
const QString kCellTruth = QStringLiteral("sim.cell.truth");
const QString kCellImperfections = QStringLiteral("sim.cell.set_imperfections");
const QString kRobotPose = QStringLiteral("sim.robot.pose");
const QString kSetJoints = QStringLiteral("sim.robot.set_joints");
const QString kPointList = QStringLiteral("rovan.project.point._list");
const QString kVariableList = QStringLiteral("rovan.project.var._list");

// The controller closes the link a moment after it confirmed the reboot, so the answer gets out.
constexpr int kRebootDropMs = 20;
// A set's "sub" path reaches at most this deep, far deeper than any controller value goes.
constexpr int kMaxSubDepth = 32;
// What a set through a sub path builds nests at most this deep: half of what Qt's JSON reader
// takes, so that a state file holding it can still be read.
constexpr int kMaxNesting = 512;
// A set through a sub path lengthens an array to at most this many elements (null-padded);
// elements already there can always be replaced. The pendant sends a large project's teach
// points into their places one by one, so the cap stands well above any project's count.
constexpr int kMaxArrayLength = 100000;

using controllerjson::readNumbers;
using controllerjson::toArray;
using controllerjson::verdict;

QJsonObject success()
{
    return QJsonObject{{QStringLiteral("success"), true}};
}

// "k" or "#k" names element k of an array.
bool arrayIndex(const QString &segment, int *index)
{
    const QString digits = segment.startsWith(QLatin1Char('#')) ? segment.mid(1) : segment;
    bool ok = false;
    const int k = digits.toInt(&ok);
    if (!ok || k < 0)
        return false;
    *index = k;
    return true;
}

QJsonValue valueAt(const QJsonValue &value, const QStringList &path, int from)
{
    if (from == path.size())
        return value;
    const QString &segment = path.at(from);
    int k = 0;
    if (value.isArray() && arrayIndex(segment, &k)) {
        const QJsonArray array = value.toArray();
        return k < array.size() ? valueAt(array.at(k), path, from + 1) : QJsonValue();
    }
    if (value.isObject())
        return valueAt(value.toObject().value(segment), path, from + 1);
    return QJsonValue();
}

// How many arrays and objects deep a value goes.
int nesting(const QJsonValue &value)
{
    int deepest = 0;
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &item : array)
            deepest = std::max(deepest, nesting(item));
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            deepest = std::max(deepest, nesting(it.value()));
    } else {
        return 0;
    }
    return deepest + 1;
}

// False, with `out` untouched, for an index that would grow an array past kMaxArrayLength.
bool withValueAt(const QJsonValue &base, const QStringList &path, int from,
                 const QJsonValue &value, QJsonValue *out)
{
    if (from == path.size()) {
        *out = value;
        return true;
    }
    const QString &segment = path.at(from);
    int k = 0;
    QJsonValue inner;
    if (base.isArray() && arrayIndex(segment, &k)) {
        QJsonArray array = base.toArray();
        if (k >= array.size() && k >= kMaxArrayLength)
            return false;
        if (!withValueAt(array.at(k), path, from + 1, value, &inner))
            return false;
        while (array.size() <= k)
            array.append(QJsonValue());
        array.replace(k, inner);
        *out = array;
        return true;
    }
    QJsonObject object = base.toObject();
    if (!withValueAt(object.value(segment), path, from + 1, value, &inner))
        return false;
    object.insert(segment, inner);
    *out = object;
    return true;
}

QStringList subPath(const QString &sub)
{
    return sub.split(QLatin1Char('.'), Qt::SkipEmptyParts);
}

QList<RobotModel> makeModels()
{
    // alpha (deg), a (mm), d (mm), theta (deg); the first group places the shoulder over the
    // base, the last one the flange after the wrist.
    RobotModel six;
    six.name = QStringLiteral("SR6-900");
    six.axes = 6;
    six.templateId = 1;
    six.dh = {0.0,   0.0,   330.0, 0.0,   //
              -90.0, 50.0,  0.0,   0.0,   //
              0.0,   440.0, 0.0,   -90.0, //
              -90.0, 35.0,  0.0,   0.0,   //
              90.0,  0.0,   420.0, 0.0,   //
              -90.0, 0.0,   0.0,   0.0,   //
              0.0,   0.0,   80.0,  0.0};
    six.limits.lowerDeg = {-170.0, -135.0, -160.0, -190.0, -125.0, -360.0};
    six.limits.upperDeg = {170.0, 135.0, 160.0, 190.0, 125.0, 360.0};
    six.homeDeg = {0.0, 0.0, 0.0, 0.0, 90.0, 0.0};

    RobotModel seven;
    seven.name = QStringLiteral("SR7-800");
    seven.axes = 7;
    seven.templateId = 2;
    seven.dh = {0.0,   0.0, 340.0, 0.0, //
                -90.0, 0.0, 0.0,   0.0, //
                90.0,  0.0, 0.0,   0.0, //
                -90.0, 0.0, 400.0, 0.0, //
                90.0,  0.0, 0.0,   0.0, //
                -90.0, 0.0, 380.0, 0.0, //
                90.0,  0.0, 0.0,   0.0, //
                0.0,   0.0, 126.0, 0.0};
    seven.limits.lowerDeg = {-170.0, -120.0, -170.0, -120.0, -170.0, -120.0, -175.0};
    seven.limits.upperDeg = {170.0, 120.0, 170.0, 120.0, 170.0, 120.0, 175.0};
    seven.homeDeg = {0.0, 30.0, 0.0, 90.0, 0.0, 60.0, 0.0};
    return {six, seven};
}

} // namespace

// What a message leads to besides its answer, done once the answer is on its way.
struct SimulatedController::Outcome
{
    QStringList publish;
    bool reboot = false;
};

// One per controller; its fields stay grouped by what they serve, not by size.
struct SimulatedController::State // NOLINT(clang-analyzer-optin.performance.Padding)
{
    RobotModel model;
    DhBook calibration;
    QString version = QStringLiteral("3.1.2");
    QString robotId = QStringLiteral("SIM-0001");

    QString address = QStringLiteral("127.0.0.1");
    bool up = false;
    // Counts link drops; a delivery scheduled before the last drop is stale.
    quint64 epoch = 0;
    int latency = 0;
    int rebootDelay = 1000;
    int rebootCount = 0;
    QTimer rebootTimer;
    // Drops the link for a confirmed reboot, unless the link dropped meanwhile.
    QTimer rebootDrop;
    quint64 rebootDropEpoch = 0;

    QHash<QString, QJsonValue> values;
    QSet<QString> watched;

    QHash<QString, Handler> handlers;
    QSet<QString> silent;
    QList<Call> calls;
    bool callsUnbounded = false;
    Keeper keeper;
    // A keeper that restores a state sends messages of its own, which it does not keep again.
    bool keeping = false;
    // Changes are counted as they arrive. A failed save puts back the state before every change
    // not saved yet, so none up to `undone` may be confirmed, whichever one's save failed.
    quint64 changes = 0;
    quint64 undone = 0;

    VirtualCell cell;

    MotionService *motion = nullptr;
    ProgramStore programs;
    RobotIoBook io;
    ComplianceBook compliance;
    // While a message is handled, updates wait in its outcome, so they follow the answer.
    Outcome *handling = nullptr;

    void select(const RobotModel &m)
    {
        model = m;
        calibration.reset(m.dh, m.axes);
        compliance.setRobot(m.name, m.axes);
        buildCell();
    }

    // The measuring cell around this robot; a model the catalogue lacks gets none.
    void buildCell()
    {
        const VirtualCell::Imperfections on = cell.imperfections();
        const double noise = cell.noiseScale();
        const CatalogueModel *entry = RobotCatalogue::builtIn().model(model.name);
        cell = entry ? VirtualCell(*entry, model.limits, robotId) : VirtualCell();
        cell.setImperfections(on);
        cell.setNoiseScale(noise);
    }

    QJsonValue builtInValue(const QString &key) const
    {
        if (DhBook::servesValue(key))
            return calibration.value(key);
        if (key == kMoveLastError)
            return motion->lastError();
        if (key == kRobotPose)
            return robotPose();
        if (ProgramStore::servesValue(key))
            return programs.value(key);
        if (io.hasKey(key))
            return io.value(key);
        return QJsonValue();
    }

    // What a robot view draws: the joints, the base, each joint frame and the flange (mm).
    QJsonObject robotPose() const
    {
        QJsonArray links;
        for (const QVector3D &p : motion->linkPositions())
            links.append(QJsonArray{double(p.x()), double(p.y()), double(p.z())});
        return QJsonObject{{QStringLiteral("joints"), toArray(motion->joints())},
                           {QStringLiteral("links"), links},
                           {QStringLiteral("moving"), motion->motion()->isMoving()}};
    }

    // The project a pendant sent is what moves and variable commands refer to.
    // A null value forgets the copy.
    void takeProjectCopy(const QString &key, const QJsonValue &stored)
    {
        const bool forget = stored.isNull() || stored.isUndefined();
        if (key == kPointList) {
            if (forget)
                motion->forgetPoints();
            else
                motion->setPoints(stored.toArray());
        } else if (key == kVariableList) {
            if (forget)
                programs.forgetVariables();
            else
                programs.setVariables(stored.toArray());
        }
    }
};

SimulatedController::SimulatedController(QObject *parent)
    : mirel::ControllerLink(parent)
    , d(std::make_unique<State>())
{
    d->motion = new MotionService(this);
    d->motion->setCompliance(&d->compliance);
    connect(d->motion->motion(), &RobotMotion::jointsChanged, this,
            &SimulatedController::jointsChanged);
    connect(this, &SimulatedController::jointsChanged, this, [this] {
        d->cell.noteMotion(d->motion->joints());
        publish(kRobotPose);
    });
    connect(d->motion, &MotionService::lastErrorChanged, this, [this] {
        for (const QString &key : {kMoveLastError, kRobotPose}) {
            if (!d->handling)
                publish(key);
            else if (!d->handling->publish.contains(key))
                d->handling->publish.append(key);
        }
    });
    d->select(models().constFirst());
    robotChanged();
    d->rebootTimer.setSingleShot(true);
    d->rebootTimer.setTimerType(Qt::PreciseTimer);
    connect(&d->rebootTimer, &QTimer::timeout, this, &SimulatedController::bringUp);
    d->rebootDrop.setSingleShot(true);
    connect(&d->rebootDrop, &QTimer::timeout, this, [this] {
        if (d->up && d->epoch == d->rebootDropEpoch)
            reboot();
    });
}

SimulatedController::~SimulatedController() = default;

bool SimulatedController::isUp() const
{
    return d->up;
}

QString SimulatedController::address() const
{
    return d->address;
}

void SimulatedController::setAddress(const QString &address)
{
    d->address = address;
}

// State changes happen when a message arrives; only the answer and the updates wait.
void SimulatedController::send(const mirel::ControllerMessage &message)
{
    if (!d->up)
        return;
    d->calls.append(Call{message.kind, message.name, message.payload});
    if (!d->callsUnbounded && d->calls.size() > RecentCalls)
        d->calls.removeFirst();
    emit received(message.name);
    // A test may drop the link from received().
    if (!d->up || d->silent.contains(message.name))
        return;
    Outcome outcome;
    // A scripted handler may send a message of its own from inside this one.
    Outcome *const outer = d->handling;
    d->handling = &outcome;
    const QJsonValue answer = handle(message, &outcome);
    d->handling = outer;
    // Saved when it is confirmed: a controller killed before its answer went out keeps nothing
    // it did not confirm, and one that cannot save confirms nothing.
    const bool keep = d->keeper && !d->keeping && !isReadOnly(message.kind, message.name);
    const quint64 change = keep ? ++d->changes : 0;
    const quint64 id = message.id;
    const bool rebooting = outcome.reboot;
    deliver([this, id, answer, rebooting, keep, change] {
        if (keep && (change <= d->undone || !keepState())) {
            emit answered(id, QJsonObject{{QStringLiteral("success"), false},
                                          {QStringLiteral("code"), NotSaved},
                                          {QStringLiteral("msg"),
                                           QStringLiteral("the change could not be saved and "
                                                          "was undone")}});
            return;
        }
        emit answered(id, answer);
        if (!rebooting)
            return;
        d->rebootDropEpoch = d->epoch;
        d->rebootDrop.start(kRebootDropMs);
    });
    for (const QString &key : qAsConst(outcome.publish))
        publish(key);
}

QList<RobotModel> SimulatedController::models()
{
    static const QList<RobotModel> all = makeModels();
    return all;
}

QStringList SimulatedController::modelNames()
{
    QStringList names;
    for (const RobotModel &m : models())
        names.append(m.name);
    return names;
}

bool SimulatedController::setModel(const QString &name)
{
    for (const RobotModel &m : models()) {
        if (m.name == name) {
            d->select(m);
            robotChanged();
            return true;
        }
    }
    return false;
}

RobotModel SimulatedController::model() const
{
    return d->model;
}

int SimulatedController::axisCount() const
{
    return d->model.axes;
}

QVector<double> SimulatedController::dhParams() const
{
    return d->calibration.dh();
}

void SimulatedController::setDhParams(const QVector<double> &dh)
{
    if (!d->calibration.setDh(dh)) {
        qWarning("SimulatedController::setDhParams: %d numbers do not fit a %d-axis robot",
                 int(dh.size()), d->model.axes);
        return;
    }
    robotChanged();
    publish(DhBook::RowsKey);
}

QVector<double> SimulatedController::productDhParams() const
{
    return d->calibration.productDh();
}

QVector<double> SimulatedController::zeroOffsets() const
{
    return d->calibration.zero();
}

QVector<double> SimulatedController::productZeroOffsets() const
{
    return d->calibration.productZero();
}

QString SimulatedController::version() const
{
    return d->version;
}

bool SimulatedController::usesMoveTo(const QString &version)
{
    return version.startsWith(QLatin1String("2.3")) || version.startsWith(QLatin1String("3.0"))
           || version.startsWith(QLatin1String("3.1"));
}

QVector<double> SimulatedController::jointPositions() const
{
    return d->motion->joints();
}

bool SimulatedController::setJointPositions(const QVector<double> &jointsDeg)
{
    if (d->motion->setJoints(jointsDeg))
        return true;
    qWarning("SimulatedController::setJointPositions: outside the joint limits of %s",
             qPrintable(d->model.name));
    return false;
}

QVector<QVector3D> SimulatedController::linkPositions() const
{
    return d->motion->linkPositions();
}

bool SimulatedController::isMoving() const
{
    return d->motion->motion()->isMoving();
}

void SimulatedController::setMotionPace(double factor)
{
    d->motion->motion()->setPace(factor);
}

double SimulatedController::motionPace() const
{
    return d->motion->motion()->pace();
}

void SimulatedController::setVersion(const QString &text)
{
    d->version = text;
}

QString SimulatedController::robotId() const
{
    return d->robotId;
}

void SimulatedController::setRobotId(const QString &id)
{
    d->robotId = id;
    d->buildCell();
}

AsBuiltRobot SimulatedController::asBuiltRobot() const
{
    return d->cell.robot();
}

VirtualCell *SimulatedController::cell() const
{
    return &d->cell;
}

Eigen::Vector3d SimulatedController::trueFlangePositionMm() const
{
    return d->cell.trueFlangeDeterministic(d->motion->joints()).translation();
}

void SimulatedController::setTrackerNoise(double sigmaMm)
{
    d->cell.setNoiseScale(sigmaMm / VirtualCell::kNoiseBaseMm);
}

double SimulatedController::trackerNoise() const
{
    return d->cell.noiseScale() * VirtualCell::kNoiseBaseMm;
}

void SimulatedController::setTrackerSeed(quint64 seed)
{
    d->cell.reseed(seed);
}

void SimulatedController::bringUp()
{
    d->rebootTimer.stop();
    if (d->up)
        return;
    d->up = true;
    emit up();
}

// A link dropped by hand stays down, even in the middle of a reboot.
void SimulatedController::bringDown(bool expected)
{
    d->rebootTimer.stop();
    if (!d->up)
        return;
    d->up = false;
    ++d->epoch;
    // The operator's hold-to-run goes with the link, and a rebooting controller drops its drives.
    d->motion->stop();
    // A new link starts without watches, as the real controller forgets its subscribers.
    d->watched.clear();
    emit down(expected);
}

void SimulatedController::reboot()
{
    ++d->rebootCount;
    bringDown(true);
    d->rebootTimer.start(d->rebootDelay);
}

void SimulatedController::setRebootDelay(int ms)
{
    d->rebootDelay = qMax(0, ms);
}

int SimulatedController::rebootDelay() const
{
    return d->rebootDelay;
}

void SimulatedController::setLatency(int ms)
{
    d->latency = qMax(0, ms);
}

int SimulatedController::rebootCount() const
{
    return d->rebootCount;
}

void SimulatedController::setValue(const QString &key, const QJsonValue &json)
{
    // Null forgets the key, so that a built-in value shows again.
    if (json.isNull() || json.isUndefined())
        d->values.remove(key);
    else
        d->values.insert(key, json);
    d->takeProjectCopy(key, json);
    publish(key);
}

QJsonValue SimulatedController::value(const QString &key) const
{
    const auto it = d->values.constFind(key);
    return it != d->values.constEnd() ? it.value() : d->builtInValue(key);
}

QStringList SimulatedController::valueKeys() const
{
    return d->values.keys();
}

bool SimulatedController::isWatched(const QString &key) const
{
    return d->watched.contains(key);
}

bool SimulatedController::setInput(const QString &name, const QJsonValue &value)
{
    if (!d->io.setInput(name, value))
        return false;
    publish(RobotIoBook::SignalsKey);
    return true;
}

void SimulatedController::setHandler(const QString &command, Handler handler)
{
    if (handler)
        d->handlers[command] = std::move(handler); // insert() would copy it
    else
        d->handlers.remove(command);
}

void SimulatedController::setAnswer(const QString &command, const QJsonValue &answer)
{
    setHandler(command, [answer](const QJsonValue &) { return answer; });
}

void SimulatedController::setSilent(const QString &command, bool silent)
{
    if (silent)
        d->silent.insert(command);
    else
        d->silent.remove(command);
}

bool SimulatedController::isReadOnly(mirel::ControllerMessage::Kind kind, const QString &name)
{
    if (kind == mirel::ControllerMessage::Get || kind == mirel::ControllerMessage::Watch)
        return true;
    return kind == mirel::ControllerMessage::Command
           && (name == kGetParams || name == kTrackerMeasure || name == kCellTruth
               || name == ComplianceBook::GetCommand || DhBook::isReading(name)
               || MotionService::isReading(name) || ProgramStore::isReading(name));
}

void SimulatedController::setKeeper(Keeper keeper)
{
    d->keeper = std::move(keeper);
}

void SimulatedController::resetScript()
{
    d->handlers.clear();
    d->silent.clear();
}

QList<SimulatedController::Call> SimulatedController::calls() const
{
    return d->calls;
}

QList<SimulatedController::Call> SimulatedController::callsOf(const QString &name) const
{
    QList<Call> result;
    for (const Call &call : qAsConst(d->calls)) {
        if (call.name == name)
            result.append(call);
    }
    return result;
}

void SimulatedController::clearCalls()
{
    d->calls.clear();
}

void SimulatedController::setCallLogUnbounded(bool unbounded)
{
    d->callsUnbounded = unbounded;
}

QJsonValue SimulatedController::handle(const mirel::ControllerMessage &message, Outcome *outcome)
{
    switch (message.kind) {
    case mirel::ControllerMessage::Command:
        return runCommand(message.name, message.payload, outcome);
    case mirel::ControllerMessage::Get:
        return valueAt(value(message.name), subPath(message.payload.toString()), 0);
    case mirel::ControllerMessage::Set: {
        const QJsonObject payload = message.payload.toObject();
        if (!payload.contains(QStringLiteral("value")))
            return verdict(false);
        const QJsonValue v = payload.value(QStringLiteral("value"));
        bool accepted = false;
        if (d->programs.takeSet(message.name, v, &accepted)) {
            if (!accepted)
                return verdict(false);
            outcome->publish.append(QStringLiteral("monitor.pers"));
            return success();
        }
        const QStringList sub = subPath(payload.value(QStringLiteral("sub")).toString());
        QJsonValue stored = v;
        if (!sub.isEmpty()
            && (sub.size() > kMaxSubDepth || sub.size() + nesting(v) > kMaxNesting
                || !withValueAt(value(message.name), sub, 0, v, &stored)))
            return verdict(false);
        if (stored.isNull() || stored.isUndefined())
            d->values.remove(message.name);
        else
            d->values.insert(message.name, stored);
        d->takeProjectCopy(message.name, stored);
        outcome->publish.append(message.name);
        return success();
    }
    case mirel::ControllerMessage::Watch:
        if (message.payload.toBool()) {
            d->watched.insert(message.name);
            outcome->publish.append(message.name);
        } else {
            d->watched.remove(message.name);
        }
        return success();
    }
    return QJsonValue();
}

// The controller as a table of areas: its own commands, then each book's.
QJsonValue SimulatedController::runCommand(const QString &command, const QJsonValue &payload,
                                           Outcome *outcome)
{
    const auto handler = d->handlers.constFind(command);
    if (handler != d->handlers.constEnd())
        return handler.value()(payload);

    if (command == kGetParams) {
        return QJsonObject{{QStringLiteral("robot_template"), d->model.templateId},
                           {QStringLiteral("robot_type"), d->model.name},
                           {QStringLiteral("version"), d->version},
                           {QStringLiteral("id"), d->robotId},
                           {QStringLiteral("state"), QStringLiteral("idle")},
                           {QStringLiteral("power"), QStringLiteral("off")},
                           {QStringLiteral("level"), 1},
                           {QStringLiteral("axis_num"), d->model.axes}};
    }
    if (command == kReboot) {
        outcome->reboot = true;
        return success();
    }
    if (DhBook::handles(command)) {
        bool changed = false;
        QJsonValue answer = d->calibration.runCommand(command, payload, &changed);
        if (changed) {
            robotChanged();
            outcome->publish.append(DhBook::RowsKey);
        }
        return answer;
    }
    const bool moveTo = usesMoveTo(d->version);
    if (MotionService::handles(command, moveTo))
        return d->motion->runCommand(command, payload, moveTo);
    if (ProgramStore::handles(command))
        return d->programs.runCommand(command, payload);
    if (ComplianceBook::handles(command)) {
        bool changed = false;
        const QJsonObject answer = d->compliance.runCommand(command, payload, &changed);
        if (changed)
            robotChanged();
        return answer;
    }
    if (command.startsWith(QLatin1String("sim.")))
        return runInstrument(command, payload.toObject());
    return unknownCommand(command);
}

// The simulator's own hands and instruments, not a controller's commands.
QJsonValue SimulatedController::runInstrument(const QString &command, const QJsonObject &args)
{
    if (command == kTrackerMeasure) {
        const QString target = args.value(QStringLiteral("target")).toString(QStringLiteral("A"));
        if (!d->cell.targetNames().contains(target))
            return QJsonObject{{QStringLiteral("error"), -50004},
                               {QStringLiteral("msg"),
                                QStringLiteral("bad request: no target \"%1\"").arg(target)}};
        // A tracker cannot tell a beam cut from one the arm hides.
        if (d->cell.beamInterrupted() || !d->cell.inSight(d->motion->joints(), target))
            return QJsonObject{{QStringLiteral("error"), kBeamNotSeen},
                               {QStringLiteral("msg"),
                                QStringLiteral("beam not seen: target \"%1\"").arg(target)}};
        VirtualCell::Reading r;
        if (!d->cell.measure(d->motion->joints(), target, &r))
            return QJsonObject{{QStringLiteral("error"), -50004},
                               {QStringLiteral("msg"),
                                QStringLiteral("bad request: no target \"%1\"").arg(target)}};
        const Eigen::Vector3d &p = r.positionMm;
        QJsonObject answer{{QStringLiteral("position_mm"), QJsonArray{p.x(), p.y(), p.z()}},
                           {QStringLiteral("target"), target},
                           {QStringLiteral("noise_mm"), r.sigmaMm}};
        if (args.value(QStringLiteral("full_pose")).toBool()) {
            const Eigen::Vector3d &o = r.orientationDeg;
            answer.insert(QStringLiteral("orientation_deg"), QJsonArray{o.x(), o.y(), o.z()});
        }
        return answer;
    }
    if (command == kCellTruth)
        return d->cell.truthJson();
    if (command == kCellImperfections) {
        VirtualCell::Imperfections on = d->cell.imperfections();
        const std::pair<const char *, bool *> flags[] = {
            {"tracker_placement", &on.trackerPlacement}, {"plate_errors", &on.plateErrors},
            {"noise", &on.noise}, {"scatter", &on.scatter}, {"compliance", &on.compliance},
            {"gear_error", &on.gearError}, {"outliers", &on.outliers},
            {"backlash", &on.backlash}, {"tilt", &on.tilt}, {"beam_breaks", &on.beamBreaks},
            {"line_of_sight", &on.lineOfSight}};
        for (const auto &flag : flags) {
            const QJsonValue v = args.value(QLatin1String(flag.first));
            if (!v.isUndefined() && !v.isBool())
                return QJsonObject{
                    {QStringLiteral("error"), -50004},
                    {QStringLiteral("msg"),
                     QStringLiteral("bad request: %1").arg(QLatin1String(flag.first))}};
            *flag.second = v.toBool(*flag.second);
        }
        d->cell.setImperfections(on);
        return success();
    }
    if (command == kTrackerNoise) {
        const QJsonValue sigma = args.value(QStringLiteral("noise_mm"));
        if (!sigma.isDouble() || !std::isfinite(sigma.toDouble()) || sigma.toDouble() < 0)
            return QJsonObject{{QStringLiteral("error"), -50004},
                               {QStringLiteral("msg"), QStringLiteral("bad request: noise_mm")}};
        setTrackerNoise(sigma.toDouble());
        return success();
    }
    if (command == kTrackerInterrupt) {
        const QJsonValue readings = args.value(QStringLiteral("readings"));
        const double n = readings.toDouble(-1);
        if (!readings.isDouble() || n < 1 || n > kMaxInterruptedReadings || n != std::floor(n))
            return QJsonObject{{QStringLiteral("error"), -50004},
                               {QStringLiteral("msg"), QStringLiteral("bad request: readings")}};
        d->cell.interruptBeam(int(n));
        return success();
    }
    if (command == kSetJoints) {
        QVector<double> joints;
        if (!readNumbers(args.value(QStringLiteral("joints_deg")), {d->model.axes}, &joints))
            return verdict(false);
        return verdict(setJointPositions(joints));
    }
    return unknownCommand(command);
}

bool SimulatedController::keepState()
{
    if (!d->keeper)
        return true;
    d->keeping = true;
    const bool kept = d->keeper();
    d->keeping = false;
    if (!kept)
        d->undone = d->changes;
    return kept;
}

QJsonValue SimulatedController::unknownCommand(const QString &command)
{
    return QJsonObject{
        {QStringLiteral("error"), -1},
        {QStringLiteral("msg"), QStringLiteral("unknown command: %1").arg(command)}};
}

ProgramStore *SimulatedController::programs() const
{
    return &d->programs;
}

const ComplianceBook &SimulatedController::compliance() const
{
    return d->compliance;
}

void SimulatedController::deliver(std::function<void()> emitter)
{
    const quint64 epoch = d->epoch;
    QTimer::singleShot(d->latency, this, [this, epoch, emitter = std::move(emitter)] {
        if (d->up && d->epoch == epoch)
            emitter();
    });
}

// The motion follows the configured DH set and zero offsets, as the real controller plans with
// what it stores.
void SimulatedController::robotChanged()
{
    d->motion->setRobot(AsBuiltRobot::foldZeroOffsets(d->calibration.dh(), d->calibration.zero()),
                        d->model.axes,
                        d->model.limits, d->model.homeDeg);
}

void SimulatedController::publish(const QString &key)
{
    if (!d->up || !d->watched.contains(key))
        return;
    const QJsonValue current = value(key);
    deliver([this, key, current] { emit valueChanged(key, current); });
}

} // namespace sim
