#pragma once

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVector>
#include <QWidget>
#include <QtTest>

// Small helpers shared by the ISO page tests and the ISO road.
namespace isotest {

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

// Where a user clicks a check box: on its indicator.
inline void clickCheckBox(QCheckBox *box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything the plug-in logged below the current directory.
inline QString pluginLogText()
{
    QString text;
    QDirIterator it(QStringLiteral("log/tessel/Veltra"), {QStringLiteral("*.log")}, QDir::Files);
    while (it.hasNext())
        text += QString::fromUtf8(readFile(it.next()));
    return text;
}

} // namespace isotest
