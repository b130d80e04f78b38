#include "plugin/catalogtranslator.h"

#include <QCoreApplication>
#include <QtTest>

namespace {

// The one text of tessel's own catalogue.
QString pointDescription()
{
    return QCoreApplication::translate("tessel::InterfaceManager", "Auto generate at: %1");
}

} // namespace

class tst_CatalogTranslator : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { tessel::CatalogTranslator::remove(QStringLiteral("tessel")); }
    void install_data();
    void install();
    void replacesTheLanguageBefore();
    void unknownCatalogue();
};

void tst_CatalogTranslator::install_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("text");

    const QString chinese = QStringLiteral("自动生成于：%1");
    const QString english = QStringLiteral("Auto generate at: %1");
    QTest::newRow("zh_CN") << QLocale(QLocale::Chinese, QLocale::China) << true << chinese;
    // No catalogue of its own: the language's catalogue serves the region.
    QTest::newRow("zh_TW") << QLocale(QLocale::Chinese, QLocale::Taiwan) << true << chinese;
    QTest::newRow("zh_SG") << QLocale(QLocale::Chinese, QLocale::Singapore) << true << chinese;
    // The source language needs none.
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << false << english;
    QTest::newRow("C") << QLocale::c() << false << english;
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << false << english;
}

void tst_CatalogTranslator::install()
{
    QFETCH(QLocale, locale);
    QFETCH(bool, installed);
    QFETCH(QString, text);
    QCOMPARE(tessel::CatalogTranslator::install(QStringLiteral("tessel"), locale), installed);
    QCOMPARE(pointDescription(), text);
}

void tst_CatalogTranslator::replacesTheLanguageBefore()
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QVERIFY(tessel::CatalogTranslator::install(QStringLiteral("tessel"), chinese));
    // A second install, as a second plug-in instance makes, does not stack a translator.
    QVERIFY(tessel::CatalogTranslator::install(QStringLiteral("tessel"), chinese));
    QCOMPARE(pointDescription(), QStringLiteral("自动生成于：%1"));
    QVERIFY(!tessel::CatalogTranslator::install(QStringLiteral("tessel"),
                                                QLocale(QLocale::English, QLocale::UnitedStates)));
    QCOMPARE(pointDescription(), QStringLiteral("Auto generate at: %1"));
    QVERIFY(tessel::CatalogTranslator::install(QStringLiteral("tessel"), chinese));
    tessel::CatalogTranslator::remove(QStringLiteral("tessel"));
    QCOMPARE(pointDescription(), QStringLiteral("Auto generate at: %1"));
}

void tst_CatalogTranslator::unknownCatalogue()
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QVERIFY(!tessel::CatalogTranslator::install(QStringLiteral("nosuchplugin"), chinese));
    QVERIFY(!tessel::CatalogTranslator::install(QString(), chinese));
    tessel::CatalogTranslator::remove(QStringLiteral("nosuchplugin"));
}

QTEST_MAIN(tst_CatalogTranslator)
#include "tst_catalogtranslator.moc"
