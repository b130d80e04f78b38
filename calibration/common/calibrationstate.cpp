#include "calibrationstate.h"

#include <QCoreApplication>

namespace common {

QString workFolder;
QString robotIP;
QString robotType;
int modelType = 0;
QString serialNumber;
QString calibMode = QStringLiteral("normal");
int axisNum = 0;
QVector<double> originalDHParamsVec;
QVector<double> optimizedDHParamsVec;
QVector<double> productDHParamsVec;
std::vector<double> zeroPointsVec;
std::vector<double> productZeroPointsVec;
const QStringList jointNames = {
    QStringLiteral("J1"), QStringLiteral("J2"), QStringLiteral("J3"), QStringLiteral("J4"),
    QStringLiteral("J5"), QStringLiteral("J6"), QStringLiteral("J7"), QStringLiteral("J8"),
    QStringLiteral("J9"), QStringLiteral("J10")};
const QString calibInfoFileName = QStringLiteral("calibInfo.json");
const QString optimizedDHFileName = QStringLiteral("optimized_dh.json");
const QString defaultIsoPosesFileName = QStringLiteral("default_iso_poses.json");

QString reportSavePath;
int isoSampleTimes = 0;
QVector<QVector<double>> defaultIsoPoses;
QVector<QVector<double>> isoPoses;
const QStringList isoPointNames = {QStringLiteral("P1"), QStringLiteral("P2"),
                                   QStringLiteral("P3"), QStringLiteral("P4"),
                                   QStringLiteral(QT_TRANSLATE_NOOP("common", "P5(中心点)"))};

QString isoPointCaption(int index)
{
    return QCoreApplication::translate("common", isoPointNames.value(index).toUtf8().constData());
}

QString jointName(int index)
{
    // The controller decides the axis count; the fixed names cover only ten.
    if (index >= 0 && index < jointNames.size())
        return jointNames.at(index);
    return QStringLiteral("J%1").arg(index + 1);
}

} // namespace common
