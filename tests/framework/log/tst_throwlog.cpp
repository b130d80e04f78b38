#include "messagecapture.h"

#include <support/temporarycurrentdir.h>

#include "log/throwlog.h"

#include <mirel/managerhelper.h>
#include <nabuSkald/bmodule.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

// The host's own log lines of the framework land in "./log/tessel_<day>.log".
QByteArray frameworkLogBytes()
{
    QByteArray all;
    const QStringList names
        = QDir(QStringLiteral("./log"))
              .entryList({QStringLiteral("tessel_*.log")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(QStringLiteral("./log/") + name);
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    return all;
}

int messageCount()
{
    return mirel::ManagerHelper::instance()->messages().size();
}

} // namespace

class tst_ThrowLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusals();
    void levels_data();
    void levels();
    void sourceWithoutObjectName();

private:
    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
};

void tst_ThrowLog::initTestCase()
{
    m_dir = std::make_unique<support::TemporaryCurrentDir>();
    QVERIFY(m_dir->isValid());
}

void tst_ThrowLog::refusals()
{
    {
        const int before = messageCount();
        MessageCapture capture;
        QCOMPARE(tessel::ThrowLog(QString(), tessel::enError, QStringLiteral("text")), -1);
        QCOMPARE(messageCount(), before);
        QVERIFY(capture.texts().isEmpty());
    }
    {
        const int before = messageCount();
        MessageCapture capture;
        QCOMPARE(
            tessel::ThrowLog(QStringLiteral("Ghost"), tessel::enError, QStringLiteral("text")),
            -2);
        QCOMPARE(messageCount(), before);
        const QStringList lines = capture.texts();
        QCOMPARE(lines.size(), 1);
        const QRegularExpression line(
            QStringLiteral("^\x1b\\[31m\\[E\\|\\d\\d/\\d\\d "
                           "\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]\\{tessel::ThrowLog@\\d+\\}"
                           "<tessel interfacemanager>nabu\\.Ghost unuseful\x1b\\[0m$"));
        QVERIFY2(line.match(lines.first()).hasMatch(), qPrintable(lines.first()));
        QVERIFY(frameworkLogBytes().contains("{tessel::ThrowLog@"));
        QVERIFY(frameworkLogBytes().contains("<tessel interfacemanager>nabu.Ghost unuseful\n"));
    }
    {
        // Bound under the name the error line shows, not under "nabu.tessel.<name>".
        skald::BModule module;
        module.bindMobj(QStringLiteral("nabu.Elsewhere"));
        const int before = messageCount();
        MessageCapture capture;
        QCOMPARE(
            tessel::ThrowLog(QStringLiteral("Elsewhere"), tessel::enInfo, QStringLiteral("t")),
            -2);
        QCOMPARE(messageCount(), before);
        QCOMPARE(capture.texts().size(), 1);
        QVERIFY(capture.texts().first().contains(
            QLatin1String("<tessel interfacemanager>nabu.Elsewhere unuseful")));
    }
}

void tst_ThrowLog::levels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("name");
    QTest::newRow("info") << int(tessel::enInfo) << QStringLiteral("info");
    QTest::newRow("warning") << int(tessel::enWarning) << QStringLiteral("warning");
    QTest::newRow("error") << int(tessel::enError) << QStringLiteral("error");
    QTest::newRow("7") << 7 << QStringLiteral("info");
    QTest::newRow("-1") << -1 << QStringLiteral("info");
}

void tst_ThrowLog::levels()
{
    QFETCH(int, level);
    QFETCH(QString, name);

    skald::BModule module;
    module.setObjectName(QStringLiteral("veltraModule"));
    module.bindMobj(QStringLiteral("nabu.tessel.Veltra"));
    const QString text = QStringLiteral("\u6807\u5b9a\u5b8c\u6210 level %1").arg(level);
    const int before = messageCount();

    MessageCapture capture;
    QCOMPARE(tessel::ThrowLog(QStringLiteral("Veltra"),
                              static_cast<tessel::enThrowLogLevel>(level), text),
             0);
    QVERIFY(capture.texts().isEmpty());
    const QList<mirel::ManagerHelper::Message> messages
        = mirel::ManagerHelper::instance()->messages();
    QCOMPARE(messages.size(), before + 1);
    QCOMPARE(messages.last().source, QStringLiteral("veltraModule"));
    QCOMPARE(messages.last().level, name);
    QCOMPARE(messages.last().text, text);
}

void tst_ThrowLog::sourceWithoutObjectName()
{
    skald::BModule module;
    module.bindMobj(QStringLiteral("nabu.tessel.Plain"));
    QCOMPARE(tessel::ThrowLog(QStringLiteral("Plain"), tessel::enWarning, QStringLiteral("w")), 0);
    const mirel::ManagerHelper::Message message
        = mirel::ManagerHelper::instance()->messages().last();
    QCOMPARE(message.source, QStringLiteral("skald::BModule"));
    QCOMPARE(message.level, QStringLiteral("warning"));
    QCOMPARE(message.text, QStringLiteral("w"));
}

QTEST_GUILESS_MAIN(tst_ThrowLog)
#include "tst_throwlog.moc"
