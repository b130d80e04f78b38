#pragma once

#include "massmodel.h"
#include "robotbody.h"

#include <QByteArray>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

namespace sim {

// One robot model as the maker's catalogue describes it.
struct CatalogueModel
{
    QString name;
    int axes = 0;
    // Nominal DH set in the controller's order and units, 4 * (axes + 1) numbers.
    QVector<double> dh;
    // Where the robot stands when it leaves the factory (deg), one per joint.
    QVector<double> homeDeg;
    MassModel masses;
    // The reflectors of the tool plate by name: nominal positions in the flange frame (mm).
    QMap<QString, Eigen::Vector3d> targetsMm;
    // The arm as it hides the tracker's beam; empty when the catalogue gives no radii.
    RobotBody body;
};

// The robot catalogue: nominal DH sets and mass models per robot model. The built-in one is the
// data file data/robotcatalogue.json, compiled into the library; a cell with other robots reads
// its own file of the same shape.
class RobotCatalogue
{
public:
    static const RobotCatalogue &builtIn();
    // Parses a catalogue; on failure the result is empty and `error` says why.
    static RobotCatalogue fromJson(const QByteArray &json, QString *error = nullptr);
    static RobotCatalogue fromFile(const QString &path, QString *error = nullptr);

    bool isEmpty() const;
    QStringList names() const;
    // Null when the catalogue has no model of that name.
    const CatalogueModel *model(const QString &name) const;

    // `count` finite numbers from a JSON array, as catalogue and model files hold them; false
    // for anything else.
    static bool readNumbers(const QJsonValue &value, int count, QVector<double> *out);

private:
    QVector<CatalogueModel> m_models;
};

} // namespace sim
