#include "rawwebsocket.h"

#include <controllerprotocol.h>
#include <controllertoken.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/server/controllerclient.h>
#include <sim/server/controllerserver.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QTcpServer>
#include <QWebSocket>
#include <QtTest>

#include <memory>
#include <vector>

using mirel::ProtocolMessage;
using sim::ControllerClient;
using sim::ControllerServer;
using sim::SimulatedController;

namespace {

const QString kKey = QStringLiteral("io.do.#3");
const QString kGetParams = QStringLiteral("system.controller.get_params");
const QByteArray kToken = QByteArrayLiteral("0123456789abcdef0123456789abcdef");

QJsonObject setPayload(const QJsonValue &value)
{
    return QJsonObject{{QStringLiteral("sub"), QString()}, {QStringLiteral("value"), value}};
}

int codeOf(const QJsonValue &answer)
{
    return answer.toObject().value(QStringLiteral("code")).toInt();
}

QUrl urlOf(const ControllerServer &server)
{
    return QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(server.port()));
}

} // namespace

class TestControllerServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
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
    void onlyTokenHoldersMoveOrWrite_data();
    void onlyTokenHoldersMoveOrWrite();
    void handshakeWithAnOriginIsRefused();
    void remoteListeningLetsInOnlyTokenHolders();
    void rebootKeepsThePortAndClosesLateComersWithAReason();
    void clientThatDoesNotReadIsDropped_data();
    void clientThatDoesNotReadIsDropped();
    void perClientCaps();
    void defaultCapsHold();
    void watchesNobodyHoldsEnd();

private:
    SimulatedController *m_controller = nullptr;
    ControllerServer *m_server = nullptr;
};

// Every ControllerClient of this test presents the token, as the programs the pendant starts do.
void TestControllerServer::initTestCase()
{
    qputenv(mirel::ControllerToken::EnvironmentVariable, kToken);
}

void TestControllerServer::init()
{
    m_controller = new SimulatedController(this);
    m_controller->bringUp();
    m_server = new ControllerServer(m_controller, this);
    m_server->setToken(kToken);
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
    QSignalSpy badOpened(&bad, &QWebSocket::connected);
    bad.open(urlOf(*m_server));
    QTRY_COMPARE(m_server->clientCount(), 2);
    // The server counts a client once it has answered the handshake; a socket sends nothing
    // until that answer has reached it.
    QTRY_COMPARE(badOpened.count(), 1);
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
    // It would come back as another number.
    QTest::newRow("integer above 2^53 in a value")
        << QByteArray(R"({"type":"answer","id":7,"answer":{"type":"request","id":9071992007199403}})");
    QTest::newRow("negative integer below -2^53")
        << QByteArray(R"({"type":"request","id":1,"kind":"set","name":"a","payload":[-9007199254740993]})");
    QTest::newRow("huge double in an update") << QByteArray(R"({"type":"update","key":"k","value":1e300})");
    // Qt's parser takes it, and the keys of that object end up out of order.
    static const char rawNul[] = R"({"type":"request","id":8,"kind":"set","name":"i","payload":{")"
                                 "\0\1e\":\"\",\"\0l\":1}}";
    QTest::newRow("raw NUL in a key") << QByteArray(rawNul, sizeof rawNul - 1);
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

void TestControllerServer::onlyTokenHoldersMoveOrWrite_data()
{
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<bool>("mayWrite");
    QTest::newRow("the token") << kToken << true;
    QTest::newRow("none") << QByteArray() << false;
    QTest::newRow("another") << QByteArray("0123456789abcdef0123456789abcdeX") << false;
    QTest::newRow("a prefix") << kToken.left(16) << false;
}

void TestControllerServer::onlyTokenHoldersMoveOrWrite()
{
    QFETCH(QByteArray, token);
    QFETCH(bool, mayWrite);
    ControllerClient client;
    client.setToken(token);
    QVERIFY(client.connectTo(m_server->addressText()));
    const QVector<double> dh = m_controller->dhParams();
    QJsonArray changed;
    for (double v : dh)
        changed.append(v + 1.0);

    // Reading is for everybody.
    QJsonValue answer;
    QVERIFY(client.call(ProtocolMessage::Get, kKey, QJsonValue(), &answer));
    QCOMPARE(client.command(kGetParams).toObject().value(QStringLiteral("axis_num")).toInt(),
             m_controller->axisCount());
    QVERIFY(client.call(ProtocolMessage::Set, kKey, setPayload(5), &answer));
    QCOMPARE(codeOf(answer), mayWrite ? 0 : int(ControllerServer::NoToken));
    QCOMPARE(m_controller->value(kKey).toInt(), mayWrite ? 5 : 0);
    answer = client.command(QStringLiteral("factory.set_DH_params_all"),
                            QJsonObject{{QStringLiteral("DH_params_all"), changed}});
    QCOMPARE(answer.toObject().value(QStringLiteral("success")).toBool(), mayWrite);
    QCOMPARE(m_controller->dhParams() != dh, mayWrite);
    // Every command that starts a motion needs the token, whether or not it could move.
    for (const QString &move : {QStringLiteral("move.j"), QStringLiteral("move.l"),
                                QStringLiteral("move.move_to.jc"), QStringLiteral("move.move_to.l"),
                                QStringLiteral("move.opr.enough")}) {
        answer = client.command(move, QJsonObject());
        QVERIFY2(!answer.isNull(), qPrintable(move));
        QVERIFY2((codeOf(answer) == int(ControllerServer::NoToken)) != mayWrite, qPrintable(move));
    }
    answer = client.command(QStringLiteral("sim.robot.set_joints"),
                            QJsonObject{{QStringLiteral("joints_deg"),
                                         QJsonArray{10.0, 0.0, 0.0, 0.0, 90.0, 0.0}}});
    QCOMPARE(m_controller->jointPositions().value(0) == 10.0, mayWrite);
    answer = client.command(QStringLiteral("system.controller.reboot"));
    QCOMPARE(codeOf(answer), mayWrite ? 0 : int(ControllerServer::NoToken));
    QCOMPARE(m_controller->isUp(), true);
}

// Listening beyond loopback, not even a reader gets in without the token.
void TestControllerServer::remoteListeningLetsInOnlyTokenHolders()
{
    ControllerServer remote(m_controller);
    remote.setToken(kToken);
    QVERIFY(remote.listen(QHostAddress::AnyIPv4, 0, true));
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1").arg(remote.port()));

    QWebSocket stranger;
    QSignalSpy strangerClosed(&stranger, &QWebSocket::disconnected);
    stranger.open(url);
    QTRY_COMPARE(strangerClosed.count(), 1);
    QCOMPARE(stranger.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
    QVERIFY(stranger.closeReason().contains(QLatin1String("token")));

    QNetworkRequest wrong(url);
    wrong.setRawHeader("Authorization", "Bearer " + QByteArray(kToken).replace('0', '1'));
    QWebSocket guesser;
    QSignalSpy guesserClosed(&guesser, &QWebSocket::disconnected);
    guesser.open(wrong);
    QTRY_COMPARE(guesserClosed.count(), 1);
    QCOMPARE(remote.clientCount(), 0);

    ControllerClient holder;
    holder.setToken(kToken);
    QVERIFY(holder.connectTo(remote.addressText().replace(QLatin1String("0.0.0.0"),
                                                          QLatin1String("127.0.0.1"))));
    QTRY_COMPARE(remote.clientCount(), 1);
    QCOMPARE(holder.command(kGetParams).toObject().value(QStringLiteral("axis_num")).toInt(),
             m_controller->axisCount());
}

void TestControllerServer::handshakeWithAnOriginIsRefused()
{
    QWebSocket page(QStringLiteral("http://evil.example"));
    QSignalSpy opened(&page, &QWebSocket::connected);
    QSignalSpy closed(&page, &QWebSocket::disconnected);
    page.open(urlOf(*m_server));
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(opened.count(), 0);
    QCOMPARE(m_server->clientCount(), 0);

    m_server->setAllowedOrigins({QStringLiteral("http://pendant.local")});
    QWebSocket allowed(QStringLiteral("http://pendant.local"));
    QSignalSpy allowedOpened(&allowed, &QWebSocket::connected);
    allowed.open(urlOf(*m_server));
    QTRY_COMPARE(allowedOpened.count(), 1);
}

void TestControllerServer::rebootKeepsThePortAndClosesLateComersWithAReason()
{
    m_controller->setRebootDelay(600);
    m_controller->reboot();
    QVERIFY(m_server->isListening());
    QTcpServer thief;
    QVERIFY(!thief.listen(QHostAddress::LocalHost, m_server->port()));
    QWebSocket late;
    QSignalSpy closed(&late, &QWebSocket::disconnected);
    late.open(urlOf(*m_server));
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(late.closeReason(), QStringLiteral("the controller is down"));
    QTRY_VERIFY_WITH_TIMEOUT(m_controller->isUp(), 3000);
    ControllerClient client;
    QVERIFY(client.connectTo(m_server->addressText()));
    QVERIFY(!client.command(kGetParams).isNull());
}

void TestControllerServer::clientThatDoesNotReadIsDropped_data()
{
    QTest::addColumn<bool>("configured");
    QTest::addColumn<qint64>("limit");
    QTest::newRow("limit set") << true << qint64(1024 * 1024);
    QTest::newRow("default limit") << false << qint64(8 * 1024 * 1024);
}

void TestControllerServer::clientThatDoesNotReadIsDropped()
{
    QFETCH(bool, configured);
    QFETCH(qint64, limit);
    if (configured) {
        ControllerServer::Limits limits;
        limits.queuedBytes = limit;
        m_server->setLimits(limits);
    }
    m_controller->setValue(QStringLiteral("big"), QString(200 * 1024, QLatin1Char('x')));
    QTcpSocket reader;
    // Qt stops taking bytes from the system once this much is buffered and nobody reads.
    reader.setReadBufferSize(4096);
    QVERIFY(rawws::handshake(&reader, m_server->port(),
                             "Authorization: Bearer " + kToken + "\r\n"));
    QTRY_COMPARE(m_server->clientCount(), 1);
    QSignalSpy dropped(m_server, &ControllerServer::clientDropped);
    // Whoever runs the server learns who was dropped and why.
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral(
                             "^simcontroller: dropping client 127\\.0\\.0\\.1:\\d+: more than "
                             "%1 bytes of output not read$").arg(limit)));
    const QByteArray get = R"({"type":"request","id":1,"kind":"get","name":"big"})";
    // Up to 120 MB asked for: more than the limit and the socket buffers hold together.
    for (int i = 0; i < 600 && dropped.isEmpty(); ++i) {
        reader.write(rawws::clientFrame(get));
        QTest::qWait(2);
    }
    QTRY_COMPARE_WITH_TIMEOUT(dropped.count(), 1, 10000);
    QCOMPARE(dropped.constFirst().at(0).toString(),
             QStringLiteral("more than %1 bytes of output not read").arg(limit));
    QCOMPARE(m_server->clientCount(), 0);
}

void TestControllerServer::perClientCaps()
{
    ControllerServer::Limits limits;
    limits.clients = 2;
    limits.pendingPerClient = 2;
    limits.watchesPerClient = 2;
    limits.keyBytes = 16;
    m_server->setLimits(limits);
    ControllerClient first;
    ControllerClient second;
    QVERIFY(first.connectTo(m_server->addressText()));
    QVERIFY(second.connectTo(m_server->addressText()));
    QTRY_COMPARE(m_server->clientCount(), 2);

    QWebSocket third;
    QSignalSpy thirdClosed(&third, &QWebSocket::disconnected);
    third.open(urlOf(*m_server));
    QTRY_COMPARE(thirdClosed.count(), 1);
    QVERIFY(third.closeReason().contains(QLatin1String("too many connections")));

    QJsonValue answer;
    QVERIFY(first.call(ProtocolMessage::Get, QString(17, QLatin1Char('k')), QJsonValue(),
                       &answer));
    QCOMPARE(codeOf(answer), int(ControllerServer::KeyTooLong));

    for (const QString &key : {QStringLiteral("w.1"), QStringLiteral("w.2")}) {
        QVERIFY(first.call(ProtocolMessage::Watch, key, true, &answer));
        QCOMPARE(codeOf(answer), 0);
    }
    QVERIFY(first.call(ProtocolMessage::Watch, QStringLiteral("w.3"), true, &answer));
    QCOMPARE(codeOf(answer), int(ControllerServer::TooManyWatches));
    QVERIFY(!m_controller->isWatched(QStringLiteral("w.3")));

    // Answers that take a while pile up; the third unanswered one is refused at once.
    m_controller->setLatency(300);
    QSignalSpy answered(&second, &ControllerClient::answered);
    QList<quint64> ids;
    for (int i = 0; i < 3; ++i)
        ids << second.post(ProtocolMessage::Get, kKey);
    QTRY_COMPARE(answered.count(), 1);
    QCOMPARE(answered.constFirst().at(0).toULongLong(), ids.at(2));
    QCOMPARE(codeOf(answered.constFirst().at(1).value<QJsonValue>()),
             int(ControllerServer::TooManyPending));
    QTRY_COMPARE(answered.count(), 3);
}

// A server nobody configured still bounds each client: 64 connections, names of 256 bytes,
// 1,024 watches and 256 unanswered requests.
void TestControllerServer::defaultCapsHold()
{
    std::vector<std::unique_ptr<ControllerClient>> clients;
    for (int i = 0; i < 64; ++i) {
        clients.push_back(std::make_unique<ControllerClient>());
        QVERIFY(clients.back()->connectTo(m_server->addressText()));
    }
    QTRY_COMPARE(m_server->clientCount(), 64);
    QWebSocket extra;
    QSignalSpy extraClosed(&extra, &QWebSocket::disconnected);
    extra.open(urlOf(*m_server));
    QTRY_COMPARE(extraClosed.count(), 1);
    QCOMPARE(extra.closeReason(), QStringLiteral("too many connections (64)"));

    ControllerClient &first = *clients.front();
    QJsonValue answer;
    QVERIFY(first.call(ProtocolMessage::Get, QString(256, QLatin1Char('k')), QJsonValue(),
                       &answer));
    QVERIFY(codeOf(answer) != int(ControllerServer::KeyTooLong));
    QVERIFY(first.call(ProtocolMessage::Get, QString(257, QLatin1Char('k')), QJsonValue(),
                       &answer));
    QCOMPARE(codeOf(answer), int(ControllerServer::KeyTooLong));

    for (int i = 0; i < 1024; ++i) {
        QVERIFY(first.call(ProtocolMessage::Watch, QStringLiteral("w.%1").arg(i), true, &answer));
        QCOMPARE(codeOf(answer), 0);
    }
    QVERIFY(first.call(ProtocolMessage::Watch, QStringLiteral("w.1024"), true, &answer));
    QCOMPARE(codeOf(answer), int(ControllerServer::TooManyWatches));
    QVERIFY(!m_controller->isWatched(QStringLiteral("w.1024")));

    m_controller->setLatency(300);
    ControllerClient &second = *clients.at(1);
    QSignalSpy answered(&second, &ControllerClient::answered);
    QList<quint64> ids;
    for (int i = 0; i < 257; ++i)
        ids << second.post(ProtocolMessage::Get, kKey);
    QTRY_COMPARE(answered.count(), 1);
    QCOMPARE(answered.constFirst().at(0).toULongLong(), ids.constLast());
    QCOMPARE(codeOf(answered.constFirst().at(1).value<QJsonValue>()),
             int(ControllerServer::TooManyPending));
    QTRY_COMPARE(answered.count(), 257);
}

void TestControllerServer::watchesNobodyHoldsEnd()
{
    const QString key = QStringLiteral("only.mine");
    {
        ControllerClient client;
        QVERIFY(client.connectTo(m_server->addressText()));
        QJsonValue answer;
        QVERIFY(client.call(ProtocolMessage::Watch, key, true, &answer));
        QVERIFY(m_controller->isWatched(key));
        QVERIFY(client.call(ProtocolMessage::Watch, key, false, &answer));
        QTRY_VERIFY(!m_controller->isWatched(key));
        QVERIFY(client.call(ProtocolMessage::Watch, key, true, &answer));
        QVERIFY(m_controller->isWatched(key));
    }
    // Gone with the client that held it.
    QTRY_VERIFY(!m_controller->isWatched(key));
}

QTEST_MAIN(TestControllerServer)
#include "tst_controllerserver.moc"
