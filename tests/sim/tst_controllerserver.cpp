#include <controllerprotocol.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/server/controllerclient.h>
#include <sim/server/controllerserver.h>

#include <QJsonObject>
#include <QSignalSpy>
#include <QWebSocket>
#include <QtTest>

using mirel::ProtocolMessage;
using sim::ControllerClient;
using sim::ControllerServer;
using sim::SimulatedController;

namespace {

const QString kKey = QStringLiteral("io.do.#3");
const QString kGetParams = QStringLiteral("system.controller.get_params");

QUrl urlOf(const ControllerServer &server)
{
    return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server.port()));
}

} // namespace

class TestControllerServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listensOnLoopbackOnly();
    void setByOneIsSeenByTheWatchersOfOthers();
    void badMessageDropsOnlyThatClient_data();
    void badMessageDropsOnlyThatClient();
    void rebootDropsEveryClientAndRefusesUntilBack();
    void decoderRejects_data();
    void decoderRejects();
    void encodeDecodeRoundTrip();

private:
    SimulatedController *m_controller = nullptr;
    ControllerServer *m_server = nullptr;
};

void TestControllerServer::init()
{
    m_controller = new SimulatedController(this);
    m_controller->bringUp();
    m_server = new ControllerServer(m_controller, this);
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
}

void TestControllerServer::cleanup()
{
    delete m_server;
    delete m_controller;
}

void TestControllerServer::listensOnLoopbackOnly()
{
    ControllerServer other(m_controller);
    QVERIFY(!other.listen(QHostAddress::AnyIPv4, 0));
    QVERIFY(other.errorString().contains(QLatin1String("loopback")));
    QVERIFY(!other.isListening());
    QVERIFY(m_server->addressText().startsWith(QLatin1String("127.0.0.1:")));
}

void TestControllerServer::setByOneIsSeenByTheWatchersOfOthers()
{
    ControllerClient setter;
    ControllerClient watcherA;
    ControllerClient watcherB;
    for (ControllerClient *c : {&setter, &watcherA, &watcherB})
        QVERIFY(c->connectTo(m_server->addressText()));
    QTRY_COMPARE(m_server->clientCount(), 3);
    QJsonValue answer;
    QVERIFY(watcherA.call(ProtocolMessage::Watch, kKey, true, &answer));
    QVERIFY(watcherB.call(ProtocolMessage::Watch, kKey, true, &answer));
    QSignalSpy seenA(&watcherA, &ControllerClient::valueChanged);
    QSignalSpy seenB(&watcherB, &ControllerClient::valueChanged);
    QSignalSpy seenBySetter(&setter, &ControllerClient::valueChanged);
    QVERIFY(setter.call(ProtocolMessage::Set, kKey,
                        QJsonObject{{QStringLiteral("sub"), QString()},
                                    {QStringLiteral("value"), 1}},
                        &answer));
    QTRY_VERIFY(!seenA.isEmpty() && !seenB.isEmpty());
    QCOMPARE(seenA.constLast().at(1).value<QJsonValue>().toInt(), 1);
    QCOMPARE(seenB.constLast().at(1).value<QJsonValue>().toInt(), 1);
    // Only watchers hear of it; one who stops watching hears no more.
    QVERIFY(watcherB.call(ProtocolMessage::Watch, kKey, false, &answer));
    seenA.clear();
    seenB.clear();
    QVERIFY(setter.call(ProtocolMessage::Set, kKey,
                        QJsonObject{{QStringLiteral("value"), 2}}, &answer));
    QTRY_VERIFY(!seenA.isEmpty());
    QCOMPARE(seenA.constLast().at(1).value<QJsonValue>().toInt(), 2);
    QVERIFY(seenB.isEmpty());
    QVERIFY(seenBySetter.isEmpty());
    // The controller's own watch stays for whoever else is plugged into it.
    QVERIFY(m_controller->isWatched(kKey));
}

void TestControllerServer::badMessageDropsOnlyThatClient_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("binary");
    QTest::newRow("garbage") << QByteArray("\x01\x02not json at all") << false;
    QTest::newRow("truncated")
        << QByteArray(R"({"type":"request","id":1,"kind":"command","name":"sys)") << false;
    QTest::newRow("oversized")
        << (QByteArray(R"({"type":"request","id":1,"kind":"command","name":"x","payload":")")
            + QByteArray(mirel::ControllerProtocol::MaxMessageBytes, 'a') + QByteArray("\"}"))
        << false;
    QTest::newRow("binary") << QByteArray("{}") << true;
    QTest::newRow("answer from a client") << QByteArray(R"({"type":"answer","id":1})") << false;
}

void TestControllerServer::badMessageDropsOnlyThatClient()
{
    QFETCH(QByteArray, message);
    QFETCH(bool, binary);
    ControllerClient good;
    QVERIFY(good.connectTo(m_server->addressText()));
    QWebSocket bad;
    QSignalSpy badClosed(&bad, &QWebSocket::disconnected);
    bad.open(urlOf(*m_server));
    QTRY_COMPARE(m_server->clientCount(), 2);
    QSignalSpy dropped(m_server, &ControllerServer::clientDropped);
    if (binary)
        bad.sendBinaryMessage(message);
    else
        bad.sendTextMessage(QString::fromUtf8(message));
    QTRY_COMPARE_WITH_TIMEOUT(badClosed.count(), 1, 10000);
    QTRY_COMPARE(m_server->clientCount(), 1);
    QJsonValue answer;
    QVERIFY(good.call(ProtocolMessage::Command, kGetParams, QJsonValue(), &answer));
    QCOMPARE(answer.toObject().value(QStringLiteral("axis_num")).toInt(),
             m_controller->axisCount());
}

void TestControllerServer::rebootDropsEveryClientAndRefusesUntilBack()
{
    m_controller->setRebootDelay(400);
    ControllerClient a;
    ControllerClient b;
    QVERIFY(a.connectTo(m_server->addressText()));
    QVERIFY(b.connectTo(m_server->addressText()));
    QSignalSpy downA(&a, &ControllerClient::disconnected);
    QSignalSpy downB(&b, &ControllerClient::disconnected);
    const QJsonValue answer = a.command(QStringLiteral("system.controller.reboot"));
    QVERIFY(answer.toObject().value(QStringLiteral("success")).toBool());
    QTRY_COMPARE(downA.count(), 1);
    QTRY_COMPARE(downB.count(), 1);
    QCOMPARE(downA.constFirst().at(0).toBool(), true);
    QCOMPARE(downB.constFirst().at(0).toBool(), true);
    QVERIFY(!m_controller->isUp());
    QVERIFY(!a.connectTo(m_server->addressText(), 200));
    QTRY_VERIFY(m_controller->isUp());
    QVERIFY(a.connectTo(m_server->addressText()));
    QVERIFY(!a.command(kGetParams).isNull());
}

void TestControllerServer::decoderRejects_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("array") << QByteArray("[1,2]");
    QTest::newRow("no type") << QByteArray(R"({"id":1})");
    QTest::newRow("unknown type") << QByteArray(R"({"type":"hello"})");
    QTest::newRow("request without id")
        << QByteArray(R"({"type":"request","kind":"get","name":"a"})");
    QTest::newRow("id zero") << QByteArray(R"({"type":"request","id":0,"kind":"get","name":"a"})");
    QTest::newRow("id fraction")
        << QByteArray(R"({"type":"request","id":1.5,"kind":"get","name":"a"})");
    QTest::newRow("id too large")
        << QByteArray(R"({"type":"request","id":1e300,"kind":"get","name":"a"})");
    QTest::newRow("unknown kind")
        << QByteArray(R"({"type":"request","id":1,"kind":"poke","name":"a"})");
    QTest::newRow("empty name")
        << QByteArray(R"({"type":"request","id":1,"kind":"get","name":""})");
    QTest::newRow("update without key") << QByteArray(R"({"type":"update","value":1})");
    QTest::newRow("negative delay") << QByteArray(R"({"type":"down","delay_ms":-5})");
    QTest::newRow("deep nesting") << QByteArray(100000, '[');
}

void TestControllerServer::decoderRejects()
{
    QFETCH(QByteArray, text);
    ProtocolMessage message;
    message.name = QStringLiteral("untouched");
    QString error;
    QVERIFY(!mirel::ControllerProtocol::decode(text, &message, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(message.name, QStringLiteral("untouched"));
}

void TestControllerServer::encodeDecodeRoundTrip()
{
    ProtocolMessage request;
    request.id = mirel::ControllerProtocol::MaxId;
    request.kind = ProtocolMessage::Set;
    request.name = QStringLiteral("a.b");
    request.value = QJsonObject{{QStringLiteral("value"), 3.5}};
    ProtocolMessage decoded;
    QString error;
    QVERIFY2(mirel::ControllerProtocol::decode(mirel::ControllerProtocol::encode(request),
                                                &decoded, &error),
             qPrintable(error));
    QCOMPARE(decoded.id, request.id);
    QCOMPARE(decoded.kind, request.kind);
    QCOMPARE(decoded.name, request.name);
    QCOMPARE(decoded.value, request.value);
}

QTEST_MAIN(TestControllerServer)
#include "tst_controllerserver.moc"
