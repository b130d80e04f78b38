#pragma once

#include <sim/controller/simulatedcontroller.h>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonValue>
#include <QTimer>

// Helpers the simulator's tests share: a robot model by name, a command sent and its answer.
namespace simtest {

inline QJsonArray toArray(const QVector<double> &numbers)
{
    QJsonArray array;
    for (double n : numbers)
        array.append(n);
    return array;
}

// The numbers of a JSON array (0 for anything else in it).
inline QVector<double> numbers(const QJsonValue &array)
{
    QVector<double> out;
    const QJsonArray items = array.toArray();
    for (const QJsonValue &v : items)
        out.append(v.toDouble());
    return out;
}

// The model of that name, or an empty one.
inline sim::RobotModel modelNamed(const QString &name)
{
    const QList<sim::RobotModel> models = sim::SimulatedController::models();
    for (const sim::RobotModel &m : models) {
        if (m.name == name)
            return m;
    }
    return sim::RobotModel();
}

// Sends a command straight to the controller and waits up to 5 s for its answer (null without).
inline QJsonValue command(sim::SimulatedController &c, const QString &name,
                          const QJsonValue &payload = QJsonValue())
{
    static quint64 nextId = 1;
    mirel::ControllerMessage message;
    message.id = nextId++;
    message.kind = mirel::ControllerMessage::Command;
    message.name = name;
    message.payload = payload;
    QJsonValue answer;
    QEventLoop loop;
    QObject::connect(&c, &mirel::ControllerLink::answered, &loop,
                     [&](quint64 id, const QJsonValue &v) {
                         if (id == message.id) {
                             answer = v;
                             loop.quit();
                         }
                     });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    c.send(message);
    loop.exec();
    return answer;
}

} // namespace simtest
