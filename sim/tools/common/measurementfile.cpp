#include "measurementfile.h"

#include <sim/paths/wholefile.h>

#include <QFile>
#include <QHash>
#include <QStringList>

#include <cmath>

namespace sim {

namespace {

QString lineError(int line, const QString &reason)
{
    return QStringLiteral("line %1: %2").arg(line).arg(reason);
}

QStringList expectedHeader(int axes, bool fullPose)
{
    QStringList columns{QStringLiteral("pose"), QStringLiteral("set"), QStringLiteral("target")};
    for (int k = 1; k <= axes; ++k)
        columns.append(QStringLiteral("j%1").arg(k));
    columns << QStringLiteral("x") << QStringLiteral("y") << QStringLiteral("z");
    if (fullPose)
        columns << QStringLiteral("rx") << QStringLiteral("ry") << QStringLiteral("rz");
    return columns;
}

// Names what is wrong with a header for `axes` joints; empty when it fits.
QString headerProblem(const QStringList &header, int axes, bool *fullPose)
{
    int joints = 0;
    while (header.contains(QStringLiteral("j%1").arg(joints + 1)))
        ++joints;
    if (joints > 0 && joints < axes)
        return QStringLiteral("the readings have %1 joints, the model %2").arg(joints).arg(axes);
    *fullPose = header.contains(QStringLiteral("rx"));
    const QStringList wanted = expectedHeader(axes, *fullPose);
    for (const QString &column : wanted) {
        if (!header.contains(column))
            return QStringLiteral("missing column \"%1\"").arg(column);
    }
    if (header != wanted)
        return QStringLiteral("the header must read \"%1\"").arg(wanted.join(QLatin1Char(',')));
    return QString();
}

bool number(const QString &field, double *value)
{
    bool ok = false;
    *value = field.trimmed().toDouble(&ok);
    return ok && std::isfinite(*value);
}

QString format(double v)
{
    return QString::number(v, 'g', 17);
}

} // namespace

bool MeasurementFile::parse(const QByteArray &data, int axes, QString *error)
{
    identification.clear();
    validation.clear();
    fullPose = false;
    lastLine = 0;
    QString text = QString::fromUtf8(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(QLatin1Char('\n'));
    QStringList header;
    int headerLine = 0;
    // The joints of every pose and the line that gave them: all its readings must agree.
    QHash<int, QPair<QVector<double>, int>> poses;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int number1 = i + 1;
        lastLine = number1;
        QStringList fields = line.split(QLatin1Char(','));
        for (QString &f : fields)
            f = f.trimmed();
        if (header.isEmpty()) {
            const QString problem = headerProblem(fields, axes, &fullPose);
            if (!problem.isEmpty()) {
                *error = lineError(number1, problem);
                return false;
            }
            header = fields;
            headerLine = number1;
            continue;
        }
        if (fields.size() != header.size()) {
            *error = lineError(number1, fields.size() < header.size()
                                            ? QStringLiteral("missing column \"%1\"")
                                                  .arg(header.at(fields.size()))
                                            : QStringLiteral("%1 fields, the header has %2")
                                                  .arg(fields.size())
                                                  .arg(header.size()));
            return false;
        }
        PoseMeasurement reading;
        bool ok = false;
        reading.pose = fields.at(0).toInt(&ok);
        if (!ok || reading.pose < 0) {
            *error = lineError(number1, QStringLiteral("the pose is no whole number"));
            return false;
        }
        const QString set = fields.at(1);
        if (set != QLatin1String("id") && set != QLatin1String("val")) {
            *error = lineError(number1, QStringLiteral("the set must be \"id\" or \"val\""));
            return false;
        }
        reading.target = fields.at(2);
        // A reading without a name would be taken at the flange's centre, off every reflector.
        if (reading.target.isEmpty()) {
            *error = lineError(number1, QStringLiteral("the reading names no target"));
            return false;
        }
        QVector<double> values;
        for (int c = 3; c < fields.size(); ++c) {
            double v = 0;
            if (!number(fields.at(c), &v)) {
                *error = lineError(number1, QStringLiteral("column \"%1\" is no finite number")
                                                .arg(header.at(c)));
                return false;
            }
            values.append(v);
        }
        reading.jointsDeg = values.mid(0, axes);
        reading.positionMm = Eigen::Vector3d(values.at(axes), values.at(axes + 1),
                                             values.at(axes + 2));
        if (reading.positionMm.stableNorm() > kFarthestReadingMm) {
            *error = lineError(number1, QStringLiteral("the position is %1 mm from the tracker, "
                                                       "farther than any tracker reaches")
                                            .arg(reading.positionMm.stableNorm(), 0, 'g', 3));
            return false;
        }
        if (fullPose) {
            reading.hasOrientation = true;
            reading.orientationDeg = Eigen::Vector3d(values.at(axes + 3), values.at(axes + 4),
                                                     values.at(axes + 5));
        }
        const auto seen = poses.constFind(reading.pose);
        if (seen != poses.constEnd() && seen->first != reading.jointsDeg) {
            *error = lineError(number1, QStringLiteral("pose %1 has other joints on line %2")
                                            .arg(reading.pose)
                                            .arg(seen->second));
            return false;
        }
        poses.insert(reading.pose, qMakePair(reading.jointsDeg, number1));
        (set == QLatin1String("id") ? identification : validation).append(reading);
    }
    if (header.isEmpty()) {
        *error = lineError(qMax(1, lastLine), QStringLiteral("no header line"));
        return false;
    }
    if (identification.isEmpty()) {
        *error = lineError(qMax(headerLine, lastLine),
                           QStringLiteral("no identification readings (set \"id\")"));
        return false;
    }
    return true;
}

bool MeasurementFile::read(const QString &path, int axes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (!parse(file.readAll(), axes, error)) {
        *error = QStringLiteral("%1 %2").arg(path, *error);
        return false;
    }
    return true;
}

QByteArray MeasurementFile::toCsv(int axes) const
{
    QString out = expectedHeader(axes, fullPose).join(QLatin1Char(',')) + QLatin1Char('\n');
    const auto add = [&](const QVector<PoseMeasurement> &readings, const QString &set) {
        for (const PoseMeasurement &r : readings) {
            QStringList fields{QString::number(r.pose), set, r.target};
            for (double q : r.jointsDeg)
                fields.append(format(q));
            for (int i = 0; i < 3; ++i)
                fields.append(format(r.positionMm[i]));
            for (int i = 0; fullPose && i < 3; ++i)
                fields.append(format(r.orientationDeg[i]));
            out += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
        }
    };
    add(identification, QStringLiteral("id"));
    add(validation, QStringLiteral("val"));
    return out.toUtf8();
}

bool MeasurementFile::write(const QString &path, int axes, QString *error) const
{
    return WholeFile::replace(path, toCsv(axes), error);
}

} // namespace sim
