#include "resultfacts.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <limits>

namespace {

constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();

double numberOr(const QJsonValue &value)
{
    return value.isDouble() ? value.toDouble() : kUnknown;
}

} // namespace

ResultFacts::ResultFacts()
    : avgError(kUnknown)
    , maxError(kUnknown)
{
}

ResultFacts ResultFacts::read(const QString &path)
{
    ResultFacts facts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return facts;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonArray zeros = root.value(QStringLiteral("zero_points_before")).toArray();
    for (const QJsonValue &zero : zeros)
        facts.zeroBefore.append(numberOr(zero));
    facts.avgError = numberOr(root.value(QStringLiteral("avg_valid_position_error")));
    facts.maxError = numberOr(root.value(QStringLiteral("max_valid_position_error")));
    const QJsonArray held = root.value(QStringLiteral("held_parameters")).toArray();
    for (const QJsonValue &label : held) {
        if (label.isString())
            facts.heldParameters.append(label.toString());
    }
    return facts;
}
