#include "robotcatalogue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

// The data file is a resource of a static library: it must be registered before first use.
static void initCatalogueResource()
{
    Q_INIT_RESOURCE(robotcatalogue);
}

namespace sim {

namespace {

constexpr auto numbers = &RobotCatalogue::readNumbers;

bool readBody(const QJsonValue &value, MassModel::Body *body)
{
    const QJsonObject o = value.toObject();
    QVector<double> com;
    if (!o.value(QStringLiteral("mass_kg")).isDouble()
        || !numbers(o.value(QStringLiteral("com_mm")), 3, &com))
        return false;
    body->massKg = o.value(QStringLiteral("mass_kg")).toDouble();
    body->comMm = Eigen::Vector3d(com.at(0), com.at(1), com.at(2));
    return std::isfinite(body->massKg) && body->massKg >= 0.0;
}

bool readModel(const QJsonObject &o, CatalogueModel *model, QString *why)
{
    model->name = o.value(QStringLiteral("name")).toString();
    model->axes = o.value(QStringLiteral("axes")).toInt(0);
    if (model->name.isEmpty() || model->axes < 1) {
        *why = QStringLiteral("a model without name or axes");
        return false;
    }
    if (!numbers(o.value(QStringLiteral("dh")), 4 * (model->axes + 1), &model->dh)) {
        *why = QStringLiteral("%1: \"dh\" needs %2 numbers").arg(model->name)
                   .arg(4 * (model->axes + 1));
        return false;
    }
    if (!numbers(o.value(QStringLiteral("home_deg")), model->axes, &model->homeDeg)) {
        *why = QStringLiteral("%1: \"home_deg\" needs %2 numbers").arg(model->name)
                   .arg(model->axes);
        return false;
    }
    const QJsonArray links = o.value(QStringLiteral("links")).toArray();
    QVector<MassModel::Body> bodies(links.size());
    MassModel::Body plate;
    bool sound = links.size() == model->axes
                 && readBody(o.value(QStringLiteral("tool_plate")), &plate);
    for (int k = 0; sound && k < links.size(); ++k)
        sound = readBody(links.at(k), &bodies[k]);
    if (!sound) {
        *why = QStringLiteral("%1: \"links\" needs one body per joint and \"tool_plate\" one "
                              "body, each {\"mass_kg\", \"com_mm\": [x, y, z]}")
                   .arg(model->name);
        return false;
    }
    model->masses = MassModel(bodies, plate);
    const QJsonValue radii = o.value(QStringLiteral("body_radius_mm"));
    if (!radii.isUndefined()) {
        QVector<double> radiusMm;
        model->body = numbers(radii, model->axes + 1, &radiusMm) ? RobotBody(radiusMm)
                                                                 : RobotBody();
        if (model->body.isEmpty()) {
            *why = QStringLiteral("%1: \"body_radius_mm\" needs %2 numbers above zero")
                       .arg(model->name)
                       .arg(model->axes + 1);
            return false;
        }
    }
    const QJsonObject targets =
        o.value(QStringLiteral("tool_plate")).toObject().value(QStringLiteral("targets_mm"))
            .toObject();
    for (auto it = targets.constBegin(); it != targets.constEnd(); ++it) {
        QVector<double> xyz;
        if (it.key().isEmpty() || !numbers(it.value(), 3, &xyz)) {
            *why = QStringLiteral("%1: a tool plate target needs a name and [x, y, z]")
                       .arg(model->name);
            return false;
        }
        model->targetsMm.insert(it.key(), Eigen::Vector3d(xyz.at(0), xyz.at(1), xyz.at(2)));
    }
    return true;
}

} // namespace

const RobotCatalogue &RobotCatalogue::builtIn()
{
    static const RobotCatalogue catalogue = [] {
        initCatalogueResource();
        QString error;
        RobotCatalogue c = fromFile(QStringLiteral(":/sim/robotcatalogue.json"), &error);
        Q_ASSERT_X(!c.isEmpty(), "RobotCatalogue", qPrintable(error));
        return c;
    }();
    return catalogue;
}

RobotCatalogue RobotCatalogue::fromJson(const QByteArray &json, QString *error)
{
    RobotCatalogue result;
    QString why;
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    const QJsonArray models = doc.object().value(QStringLiteral("models")).toArray();
    if (parse.error != QJsonParseError::NoError)
        why = parse.errorString();
    else if (models.isEmpty())
        why = QStringLiteral("no \"models\"");
    for (int i = 0; why.isEmpty() && i < models.size(); ++i) {
        CatalogueModel m;
        if (readModel(models.at(i).toObject(), &m, &why))
            result.m_models.append(m);
    }
    if (!why.isEmpty()) {
        result.m_models.clear();
        if (error)
            *error = why;
    }
    return result;
}

RobotCatalogue RobotCatalogue::fromFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return {};
    }
    return fromJson(file.readAll(), error);
}

bool RobotCatalogue::isEmpty() const
{
    return m_models.isEmpty();
}

bool RobotCatalogue::readNumbers(const QJsonValue &value, int count, QVector<double> *out)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != count)
        return false;
    out->clear();
    for (const QJsonValue &v : array) {
        if (!v.isDouble() || !std::isfinite(v.toDouble()))
            return false;
        out->append(v.toDouble());
    }
    return true;
}

QStringList RobotCatalogue::names() const
{
    QStringList result;
    for (const CatalogueModel &m : m_models)
        result.append(m.name);
    return result;
}

const CatalogueModel *RobotCatalogue::model(const QString &name) const
{
    for (const CatalogueModel &m : m_models) {
        if (m.name == name)
            return &m;
    }
    return nullptr;
}

} // namespace sim
