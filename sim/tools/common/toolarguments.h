#pragma once

#include <QString>
#include <QStringList>

namespace sim {

// The command line every measuring program takes: "--path" and the work folder, and a few
// optional numbers ("--poses 60"). The pendant starts the calibration collector in its own
// folder, two levels below the work folder; a relative work folder that does not resolve from
// the current folder is looked for above the program.
class ToolArguments
{
public:
    // False, with the reason, when "--path" is missing or names no folder.
    bool parse(const QStringList &arguments, QString *error);

    QString workFolder() const;
    // The value of "--name N" when it is a whole number in [minimum, maximum], else `fallback`.
    int number(const QString &name, int fallback, int minimum, int maximum) const;
    // The value of "--name VALUE", empty when not given.
    QString text(const QString &name) const;

private:
    QStringList m_arguments;
    QString m_workFolder;
};

} // namespace sim
