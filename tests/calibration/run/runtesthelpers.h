#pragma once

#include <calibration/veltratesthelpers.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QVector>
#include <QWidget>

// Small helpers shared by the run and result card tests.
namespace runtest {

using veltratest::pluginLogText;
using veltratest::readFile;
using veltratest::writeFile;

// The simulated SR6-900's DH set: six joints and the flange group.
inline QVector<double> sixAxisDH()
{
    return {0.0,   0.0,   330.0, 0.0,   -90.0, 50.0, 0.0, 0.0,   0.0,  440.0,
            0.0,   -90.0, -90.0, 35.0,  0.0,   0.0,  90.0, 0.0, 420.0, 0.0,
            -90.0, 0.0,   0.0,   0.0,   0.0,   0.0,  80.0, 0.0};
}

// The labels at a cell of a grid, in the order they were added.
inline QList<QLabel *> cellLabels(QWidget *page, int row, int column)
{
    QList<QLabel *> labels;
    auto *grid = page->findChild<QGridLayout *>(QStringLiteral("tableLayout"));
    if (!grid)
        return labels;
    for (int i = 0; i < grid->count(); ++i) {
        int r = 0, c = 0, rs = 0, cs = 0;
        grid->getItemPosition(i, &r, &c, &rs, &cs);
        if (r == row && c == column)
            if (auto *label = qobject_cast<QLabel *>(grid->itemAt(i)->widget()))
                labels.append(label);
    }
    return labels;
}

// The label shown last at a cell; later widgets lie on top of earlier ones.
inline QLabel *cellLabel(QWidget *page, int row, int column)
{
    const QList<QLabel *> labels = cellLabels(page, row, column);
    return labels.isEmpty() ? nullptr : labels.last();
}

inline QString cellText(QWidget *page, int row, int column)
{
    QLabel *label = cellLabel(page, row, column);
    return label ? label->text() : QStringLiteral("<no label>");
}

// The self-closing box on `parent`, if one is showing.
inline QMessageBox *autoCloseBox(QWidget *parent)
{
    const QList<QMessageBox *> boxes =
        parent->findChildren<QMessageBox *>(QStringLiteral("autoCloseMessageBox"));
    for (QMessageBox *box : boxes)
        if (box->isVisible())
            return box;
    return nullptr;
}

} // namespace runtest
