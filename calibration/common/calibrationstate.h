#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

// The calibration data the plug-in's pages share. GUI thread only.
namespace common {

extern QString workFolder;
extern QString robotIP;
extern QString robotType;
extern int modelType;
extern QString serialNumber;
extern QString calibMode; // "normal" or "product"
extern int axisNum;
// alpha, a, d, theta per link; the controller's set has one link group more than joints.
extern QVector<double> originalDHParamsVec;
extern QVector<double> optimizedDHParamsVec;
extern QVector<double> productDHParamsVec;
extern std::vector<double> zeroPointsVec;
extern std::vector<double> productZeroPointsVec;
extern const QStringList jointNames; // "J1" ... "J10": the tables hold ten axes at most
extern const QString calibInfoFileName;
extern const QString optimizedDHFileName;
extern const QString defaultIsoPosesFileName;

// The ISO test.
extern QString reportSavePath;
extern int isoSampleTimes;
extern QVector<QVector<double>> defaultIsoPoses;
extern QVector<QVector<double>> isoPoses;
extern const QStringList isoPointNames; // "P1" ... "P4", "P5(中心点)"
// The caption of ISO point `index` (0-based) in the operator's language.
QString isoPointCaption(int index);

// The caption of joint row `index` (0-based): "J1" ... "J10", then "J11" and on.
QString jointName(int index);

} // namespace common
