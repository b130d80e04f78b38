#pragma once

#include "mirel_global.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QObject>
#include <QPointer>
#include <QSet>

namespace mirel {

class ControllerLink;
class ControllerManager;

// Sends the current project's teach points and variables to a controller on another machine:
// when the link comes up, and before every command that refers to them (moves, path checks,
// variable and PERS commands) unless the controller confirmed them as they are, or they are on
// their way. A refused list is logged and, like one whose answer the link lost or that the
// controller left unanswered for AnswerTimeoutMs, sent again. A controller in the pendant's own
// process reads them from the data tree instead.
class MIREL_EXPORT ProjectMirror : public QObject
{
    Q_OBJECT

public:
    static const QString PointsKey;
    static const QString VariablesKey;
    static constexpr int AnswerTimeoutMs = 5000;

    explicit ProjectMirror(ControllerManager *controller, QObject *parent = nullptr);
    ~ProjectMirror() override;

    // Whether a command reads the points or variables on the controller.
    static bool needsProject(const QString &command);
    // How long a list's parts may go unanswered before it counts as not sent (tests shorten it).
    void setAnswerTimeout(int ms);

private:
    // One list's copy on the controller.
    struct Copy
    {
        QString key;
        QJsonArray confirmed;
        bool known = false; // whether `confirmed` is what the controller holds
        QJsonArray sending;
        QSet<quint64> awaited; // parts of `sending` not answered yet
        bool refused = false;
        QElapsedTimer sentAt;
    };

    void sendChanged(bool always);
    bool isDue(Copy &copy, const QJsonArray &value, bool always);
    void send(Copy &copy, const QJsonArray &value);
    void onAnswered(quint64 id, const QJsonValue &answer);

    ControllerManager *m_controller;
    QPointer<ControllerLink> m_answering;
    QMetaObject::Connection m_answers;
    bool m_sending = false;
    int m_answerTimeoutMs = AnswerTimeoutMs;
    Copy m_points;
    Copy m_variables;
};

} // namespace mirel
