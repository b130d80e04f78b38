#pragma once

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtTest>

// Helpers every test of the calibration plug-in's pages uses: files, the plug-in's log, clicks.
namespace veltratest {

// Makes the parent folders as needed and replaces the file's content.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
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

// Where a user clicks a check box: on its indicator.
inline void clickCheckBox(QCheckBox *box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

} // namespace veltratest
