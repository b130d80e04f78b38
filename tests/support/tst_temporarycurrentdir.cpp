#include <support/temporarycurrentdir.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

namespace {

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

bool writeRelative(const QString &name, const QByteArray &contents)
{
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

class tst_TemporaryCurrentDir : public QObject
{
    Q_OBJECT

private slots:
    void entersAndRestores();
    void filePath_data();
    void filePath();
    void nests();
    void followsTemplate();
    void invalidLeavesCurrentDir();
};

void tst_TemporaryCurrentDir::entersAndRestores()
{
    const QString before = QDir::currentPath();
    QString folder;
    {
        support::TemporaryCurrentDir dir;
        QVERIFY(dir.isValid());
        folder = dir.path();
        QVERIFY(!folder.isEmpty());
        QVERIFY(canonical(folder) != canonical(before));
        QCOMPARE(canonical(QDir::currentPath()), canonical(folder));
        QCOMPARE(dir.previousPath(), before);

        // What the code under test writes by a relative path lands in the folder.
        QVERIFY(writeRelative(QStringLiteral("relative.txt"), "x"));
        QVERIFY(QDir().mkpath(QStringLiteral("log/sub")));
        QVERIFY(writeRelative(QStringLiteral("log/sub/a.log"), "y"));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/relative.txt")));
        QVERIFY(QFileInfo::exists(folder + QStringLiteral("/log/sub/a.log")));
    }
    QCOMPARE(QDir::currentPath(), before);
    QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
}

void tst_TemporaryCurrentDir::filePath_data()
{
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << QStringLiteral("optimized_dh.json");
    QTest::newRow("nested") << QStringLiteral("log/calib/run.log");
    QTest::newRow("spaces and dots") << QStringLiteral("collect Calib v1.2.exe");
    QTest::newRow("chinese") << QStringLiteral("标定结果.json");
}

void tst_TemporaryCurrentDir::filePath()
{
    QFETCH(QString, name);

    support::TemporaryCurrentDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    QCOMPARE(path, dir.path() + QLatin1Char('/') + name);
    // The same file as the relative name reaches from the current directory.
    const QFileInfo info(name);
    QVERIFY(QDir().mkpath(info.path()));
    QVERIFY(writeRelative(name, "z"));
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(canonical(path), canonical(info.absoluteFilePath()));
}

void tst_TemporaryCurrentDir::nests()
{
    const QString before = QDir::currentPath();
    {
        support::TemporaryCurrentDir outer;
        QVERIFY(outer.isValid());
        {
            support::TemporaryCurrentDir inner;
            QVERIFY(inner.isValid());
            QVERIFY(inner.path() != outer.path());
            QCOMPARE(canonical(inner.previousPath()), canonical(outer.path()));
            QCOMPARE(canonical(QDir::currentPath()), canonical(inner.path()));
        }
        QCOMPARE(canonical(QDir::currentPath()), canonical(outer.path()));
        QVERIFY(QFileInfo::exists(outer.path()));
    }
    QCOMPARE(QDir::currentPath(), before);
}

void tst_TemporaryCurrentDir::followsTemplate()
{
    const QString base = QDir::tempPath() + QStringLiteral("/calib-XXXXXX");
    support::TemporaryCurrentDir dir(base);
    QVERIFY(dir.isValid());
    const QFileInfo info(dir.path());
    QVERIFY2(info.fileName().startsWith(QLatin1String("calib-")), qPrintable(dir.path()));
    QVERIFY(info.fileName() != QLatin1String("calib-XXXXXX"));
    QCOMPARE(canonical(info.path()), canonical(QDir::tempPath()));
    QCOMPARE(canonical(QDir::currentPath()), canonical(dir.path()));
}

void tst_TemporaryCurrentDir::invalidLeavesCurrentDir()
{
    const QString before = QDir::currentPath();
    support::TemporaryCurrentDir valid;
    QVERIFY(valid.isValid());
    const QString missing = valid.filePath(QStringLiteral("no/such/folder/x-XXXXXX"));
    const QString elsewhere = QDir::tempPath();
    {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^TemporaryCurrentDir: ")));
        support::TemporaryCurrentDir dir(missing);
        QVERIFY(!dir.isValid());
        QCOMPARE(canonical(QDir::currentPath()), canonical(valid.path()));
        QVERIFY(QDir::setCurrent(elsewhere));
    }
    // One that never entered its folder has nothing to restore.
    QCOMPARE(canonical(QDir::currentPath()), canonical(elsewhere));
    QCOMPARE(valid.previousPath(), before);
}

QTEST_GUILESS_MAIN(tst_TemporaryCurrentDir)

#include "tst_temporarycurrentdir.moc"
