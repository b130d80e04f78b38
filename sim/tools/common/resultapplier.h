#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <QVector>

namespace sim {

class ControllerClient;

// Writes a calibration result ("optimized_dh.json") to a controller over the network, as the
// pendant's apply does: the DH set ("factory.set_DH_params_all", or "factory.set_DH_params_link"
// with the production set when the result has one), the zero offsets
// ("ethercat.set_precision_compensation_zero"), then the joint compliance when the result
// holds one ("factory.set_compliance"), then "system.controller.reboot". Each answer is judged
// by the pendant's verdict rule and the first failure stops the sequence; nothing is rolled
// back. A result whose status is not 1, whose quality gate does not pass against the
// controller's own DH set, or whose joint compliance is not one finite number per joint is
// refused before anything is written.
class ResultApplier
{
public:
    // Outcome of the quality gate: the pendant's evaluation of "threshold".
    enum class Gate { Passed, Failed, NotEvaluable };

    explicit ResultApplier(ControllerClient *client);

    // False, with the reason, when the result is refused or a write fails.
    bool apply(const QJsonObject &result, QString *error);
    // "[APPLY][TAG] SUCCESS|FAILED, response = ..." per command sent, in order.
    QStringList log() const;
    // Whether the last apply() failed at the controller (no DH set read from it, or a write
    // it refused or left unanswered) rather than at the result.
    bool controllerFailed() const;

    // The pendant's verdict on a controller's answer.
    static bool judge(const QJsonValue &response);
    // The DH payload: alpha, a and d of each joint from `parameters`, theta from the
    // controller's set; a 7-axis robot's last link group follows unchanged.
    static QVector<double> payloadVector(const QVector<double> &parameters,
                                         const QVector<double> &controllerDh, int axes);
    // The quality gate of `result` for the controller's set, and why it failed.
    static Gate gate(const QJsonObject &result, const QVector<double> &controllerDh, int axes,
                     QString *why);
    // The joints "joint_1" .. "joint_<axes>" of a "dh_parameters" object, 4 numbers each
    // (theta from "theta_offset"); empty when one is missing.
    static QVector<double> jointSet(const QJsonValue &dhParameters, int axes);

private:
    bool send(const QString &tag, const QString &command, const QJsonValue &payload,
              QString *error);

    ControllerClient *m_client;
    QStringList m_log;
    bool m_controllerFailed = false;
};

} // namespace sim
