#include "workfolder.h"

namespace sim {

WorkFolder::WorkFolder(const QString &root)
    : m_root(root)
{
}

QString WorkFolder::root() const
{
    return m_root;
}

QString WorkFolder::resultFile() const
{
    return m_root + QStringLiteral("/optimized_dh.json");
}

QString WorkFolder::calibReportFolder() const
{
    return m_root + QStringLiteral("/results/calib_results");
}

QString WorkFolder::isoResultFolder() const
{
    return m_root + QStringLiteral("/results/iso_results");
}

QString WorkFolder::isoMeasurementFile() const
{
    return isoResultFolder() + QStringLiteral("/iso_measurements.json");
}

QString WorkFolder::isoReportFile() const
{
    return isoResultFolder() + QStringLiteral("/iso_report.xlsx");
}

QString WorkFolder::trackerRegistrationFile() const
{
    return m_root + QStringLiteral("/results/tracker_registration.json");
}

bool WorkFolder::isPlainFileName(const QString &name)
{
    if (name.trimmed().isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || QStringLiteral("<>:\"/\\|?*").contains(c))
            return false;
    }
    return true;
}

} // namespace sim
