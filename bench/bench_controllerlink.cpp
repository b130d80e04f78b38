// The controller over the network against the controller in the process: the round trip of a
// get through the loopback WebSocket link (ControllerServer and ControllerClient) and through the
// embedded link (SimulatedController's own signals), and the resident memory of a `simcontroller`
// process after 100,000 requests of 10 kB from 10 clients.
//     bench_controllerlink [--requests=N] [benchmark flags]
#include <controllertoken.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/server/controllerclient.h>
#include <sim/server/controllerserver.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <unistd.h>

namespace {

long g_requests = 100000;
constexpr int kClients = 10;
constexpr int kPayloadBytes = 10 * 1024;
// Requests each client keeps in flight, well below the server's bound.
constexpr int kWindow = 64;
const QString kKey = QStringLiteral("io.signal_list");

qint64 residentBytes(qint64 pid)
{
    QFile statm(QStringLiteral("/proc/%1/statm").arg(pid));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

void embeddedGet(benchmark::State &state)
{
    sim::SimulatedController controller;
    controller.bringUp();
    quint64 id = 0;
    QEventLoop loop;
    QObject::connect(&controller, &mirel::ControllerLink::answered, &loop,
                     [&loop, &id](quint64 answered) {
                         if (answered == id)
                             loop.quit();
                     });
    for (auto _ : state) {
        mirel::ControllerMessage message;
        message.id = ++id;
        message.kind = mirel::ControllerMessage::Get;
        message.name = kKey;
        controller.send(message);
        loop.exec();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(embeddedGet)->UseRealTime();

void loopbackGet(benchmark::State &state)
{
    sim::SimulatedController controller;
    controller.bringUp();
    sim::ControllerServer server(&controller);
    if (!server.listen(QHostAddress::LocalHost, 0)) {
        state.SkipWithError("cannot listen");
        return;
    }
    sim::ControllerClient client;
    if (!client.connectTo(server.addressText())) {
        state.SkipWithError("cannot connect");
        return;
    }
    for (auto _ : state) {
        QJsonValue answer;
        if (!client.call(mirel::ProtocolMessage::Get, kKey, QJsonValue(), &answer)) {
            state.SkipWithError("no answer");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(loopbackGet)->UseRealTime();

// Sets of 10 kB from 10 clients, each keeping a window of requests in flight, against a
// controller in a process of its own; its resident memory is read before and after.
void serverMemory(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString tokenFile = dir.filePath(QStringLiteral("token"));
    const QByteArray token = mirel::ControllerToken::generate();
    QFile file(tokenFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(token + '\n') <= 0) {
        state.SkipWithError("cannot write the token file");
        return;
    }
    file.close();
    for (auto _ : state) {
        // simcontroller takes a port of its own choosing only from its caller.
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        QProcess server;
        server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server.start(QStringLiteral(SIMCONTROLLER_PATH),
                     {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                      QStringLiteral("--token-file"), tokenFile});
        if (!server.waitForReadyRead(10000)) {
            state.SkipWithError("simcontroller did not start");
            return;
        }
        // "simcontroller: MODEL listening on 127.0.0.1:PORT (loopback only)"
        const QString banner = QString::fromUtf8(server.readLine());
        const QString address = banner.section(QLatin1Char(' '), 4, 4);
        const qint64 before = residentBytes(server.processId());

        std::vector<std::unique_ptr<sim::ControllerClient>> clients;
        long sent = 0;
        long answered = 0;
        const QJsonObject payload{{QStringLiteral("sub"), QString()},
                                  {QStringLiteral("value"),
                                   QString(kPayloadBytes, QLatin1Char('v'))}};
        QEventLoop loop;
        for (int c = 0; c < kClients; ++c) {
            auto client = std::make_unique<sim::ControllerClient>();
            client->setToken(token);
            if (!client->connectTo(address)) {
                state.SkipWithError("cannot connect");
                return;
            }
            sim::ControllerClient *raw = client.get();
            const QString key = QStringLiteral("bench.client%1").arg(c);
            QObject::connect(raw, &sim::ControllerClient::answered, &loop, [&, raw, key] {
                ++answered;
                if (sent < g_requests) {
                    ++sent;
                    raw->post(mirel::ProtocolMessage::Set, key, payload);
                }
                if (answered == g_requests)
                    loop.quit();
            });
            clients.push_back(std::move(client));
        }
        for (auto &client : clients) {
            for (int i = 0; i < kWindow && sent < g_requests; ++i, ++sent)
                client->post(mirel::ProtocolMessage::Set, QStringLiteral("bench.first"), payload);
        }
        QTimer::singleShot(600000, &loop, &QEventLoop::quit);
        loop.exec();
        const qint64 after = residentBytes(server.processId());
        clients.clear();
        server.kill();
        server.waitForFinished(5000);
        if (answered < g_requests) {
            state.SkipWithError("not every request was answered");
            return;
        }
        state.counters["requests"] = double(answered);
        state.counters["server_rss_before_mb"] = double(before) / (1024.0 * 1024.0);
        state.counters["server_rss_after_mb"] = double(after) / (1024.0 * 1024.0);
    }
}
BENCHMARK(serverMemory)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--requests=", 11) == 0)
            g_requests = std::strtol(argv[i] + 11, nullptr, 10);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
