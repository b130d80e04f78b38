#include "pages/fittedcolumns.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include <numeric>

// How a table that never scrolls sideways shares its width among its columns.
class tst_FittedColumns : public QObject
{
    Q_OBJECT

private slots:
    void share_data();
    void share();
    void aTableShowsEveryCellWhole();
};

void tst_FittedColumns::share_data()
{
    QTest::addColumn<QVector<int>>("least");
    QTest::addColumn<QVector<int>>("whole");
    QTest::addColumn<int>("room");
    QTest::addColumn<QVector<int>>("widths");

    QTest::newRow("lines fit, the rest shared evenly")
        << QVector<int>{10, 20} << QVector<int>{30, 40} << 101 << QVector<int>{45, 56};
    QTest::newRow("words fit, the rest to the column that wraps")
        << QVector<int>{10, 20, 5} << QVector<int>{50, 20, 5} << 60 << QVector<int>{35, 20, 5};
    QTest::newRow("words do not fit, the widest gives way")
        << QVector<int>{100, 30, 20} << QVector<int>{100, 30, 20} << 110
        << QVector<int>{60, 30, 20};
    QTest::newRow("nothing fits, all alike")
        << QVector<int>{50, 50} << QVector<int>{80, 50} << 40 << QVector<int>{20, 20};
}

void tst_FittedColumns::share()
{
    QFETCH(QVector<int>, least);
    QFETCH(QVector<int>, whole);
    QFETCH(int, room);
    QFETCH(QVector<int>, widths);
    const QVector<int> shared = FittedColumns::share(least, whole, room);
    QCOMPARE(shared, widths);
    QCOMPARE(std::accumulate(shared.begin(), shared.end(), 0), room);
}

// Equal shares would cut the date; fitted, it wraps at its space beside the short figures, the
// row grows for it, and a longer serial number that comes later gets more room.
void tst_FittedColumns::aTableShowsEveryCellWhole()
{
    QStandardItemModel model(1, 4);
    const QStringList texts{QStringLiteral("2026-12-09 17:10:07"), QStringLiteral("SN-1"),
                            QStringLiteral("0.0472"), QStringLiteral("0.0472")};
    for (int c = 0; c < texts.size(); ++c)
        model.setItem(0, c, new QStandardItem(texts.at(c)));
    QTableView view;
    view.setModel(&model);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    new FittedColumns(&view);
    const QFontMetrics metrics = view.fontMetrics();
    view.resize(metrics.horizontalAdvance(texts.at(0)) * 2, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    const int room = view.viewport()->width();
    const int date = metrics.horizontalAdvance(texts.at(0));
    QVERIFY2(room / 4 < date, "equal shares would have cut the date");
    QVERIFY(view.columnWidth(0) < date);
    QVERIFY(view.columnWidth(0) > metrics.horizontalAdvance(QStringLiteral("2026-12-09")));
    QVERIFY(view.rowHeight(0) >= 2 * metrics.lineSpacing());
    int total = 0;
    for (int c = 0; c < 4; ++c) {
        QVERIFY(view.columnWidth(c) > metrics.horizontalAdvance(texts.at(qMax(c, 1))));
        total += view.columnWidth(c);
    }
    QCOMPARE(total, room);

    const int serialWidth = view.columnWidth(1);
    model.item(0, 1)->setText(QStringLiteral("SR6-900-0000012345"));
    QVERIFY(view.columnWidth(1) > serialWidth);
}

QTEST_MAIN(tst_FittedColumns)
#include "tst_fittedcolumns.moc"
