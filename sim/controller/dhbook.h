#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QVector>

namespace sim {

// The controller's kinematic calibration: the configured and the product DH parameters (four
// numbers per link group, one group more than the robot has joints) and zero offsets, with the
// commands that read and write them ("factory.*_DH_params_*",
// "ethercat.set_precision_compensation_zero") and the command-service values
// "factory.set_DH_params_link" (rows of four) and "factory.get_dh_params_support".
class DhBook
{
public:
    // The factory state of a robot of `axes` joints with the DH set `dh`.
    void reset(const QVector<double> &dh, int axes);

    static bool handles(const QString &command);
    static bool isReading(const QString &command);
    // `changed` tells whether the configured set or the zero offsets changed.
    QJsonValue runCommand(const QString &command, const QJsonValue &payload, bool *changed);

    static bool servesValue(const QString &key);
    QJsonValue value(const QString &key) const;

    int axes() const;
    QVector<double> dh() const;
    // Numbers of a whole set, or of all groups but the last, which then keeps its values;
    // anything else, or a number beyond MaxMagnitude, is refused and changes nothing.
    bool setDh(const QVector<double> &dh);
    QVector<double> productDh() const;
    QVector<double> zero() const;
    QVector<double> productZero() const;

    static const QString RowsKey;
    // The largest magnitude of a DH number or zero offset (mm or degrees) the book takes.
    static constexpr double MaxMagnitude = 1e6;

private:
    bool readDh(const QJsonValue &value, QVector<double> *out) const;
    QJsonArray rows() const;

    int m_axes = 0;
    QVector<double> m_dh;
    QVector<double> m_productDh;
    QVector<double> m_zero;
    QVector<double> m_productZero;
};

} // namespace sim
