#pragma once

#include <calibration/veltratesthelpers.h>

#include <QGridLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QVector>
#include <QWidget>
#include <QtTest>

// Small helpers shared by the ISO page tests and the ISO road.
namespace isotest {

using veltratest::clickCheckBox;
using veltratest::pluginLogText;
using veltratest::readFile;
using veltratest::writeFile;

using Poses = QVector<QVector<double>>;

// The "iso_poses" object of the pose file and of "iso_config": "point1" to "pointN".
inline QJsonObject isoPosesJson(const Poses &poses)
{
    QJsonObject object;
    for (int k = 0; k < poses.size(); ++k) {
        QJsonArray row;
        for (double v : poses.at(k))
            row.append(v);
        object.insert(QStringLiteral("point%1").arg(k + 1), row);
    }
    return object;
}

inline QWidget *cell(QWidget *page, const char *grid, int row, int column)
{
    auto *layout = page->findChild<QGridLayout *>(QLatin1String(grid));
    if (!layout)
        return nullptr;
    QLayoutItem *item = layout->itemAtPosition(row, column);
    return item ? item->widget() : nullptr;
}

inline QString labelText(QWidget *page, const char *grid, int row, int column)
{
    auto *label = qobject_cast<QLabel *>(cell(page, grid, row, column));
    return label ? label->text() : QStringLiteral("<no label>");
}

} // namespace isotest
