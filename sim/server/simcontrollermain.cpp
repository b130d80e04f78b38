// simcontroller: the simulated robot controller as a program of its own, reached over the
// network as a real controller is (docs/controller-protocol.md).
#include "controllerserver.h"
#include "controllerstatefile.h"

#include <controllerprotocol.h>
#include <controllertoken.h>
#include <sim/controller/robotmotion.h>
#include <sim/controller/simulatedcontroller.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <memory>

#include <cstdio>
#include <utility>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "simcontroller: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("simcontroller"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated robot controller on the network."));
    parser.addHelpOption();
    const QCommandLineOption listenOption(
        QStringLiteral("listen"), QStringLiteral("Address and port to listen on."),
        QStringLiteral("address:port"),
        QStringLiteral("127.0.0.1:%1").arg(mirel::ControllerProtocol::DefaultPort));
    const QCommandLineOption remoteOption(
        QStringLiteral("allow-remote"),
        QStringLiteral("Allow an address other than loopback in --listen."));
    const QCommandLineOption robotOption(
        QStringLiteral("robot"),
        QStringLiteral("Robot model: %1.")
            .arg(sim::SimulatedController::modelNames().join(QStringLiteral(", "))),
        QStringLiteral("model"), sim::SimulatedController::modelNames().value(0));
    const QCommandLineOption rebootOption(QStringLiteral("reboot-delay"),
                                          QStringLiteral("Milliseconds a reboot takes."),
                                          QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption latencyOption(QStringLiteral("latency"),
                                           QStringLiteral("Milliseconds before each answer."),
                                           QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption paceOption(
        QStringLiteral("motion-pace"),
        QStringLiteral("How many times faster than real time the robot moves."),
        QStringLiteral("factor"), QStringLiteral("1"));
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("File that keeps DH parameters, zero offsets, points, variables, projects "
                       "and values across restarts."),
        QStringLiteral("file"));
    const QCommandLineOption tokenOption(
        QStringLiteral("token-file"),
        QStringLiteral("File whose first line is the token clients must present to move the robot "
                       "or write (default: one made for this user, path printed at start)."),
        QStringLiteral("file"));
    const QCommandLineOption originOption(
        QStringLiteral("allow-origin"),
        QStringLiteral("Accept handshakes from web pages of this origin (repeatable)."),
        QStringLiteral("origin"));
    const sim::ControllerServer::Limits defaults;
    const QCommandLineOption clientsOption(QStringLiteral("max-clients"),
                                           QStringLiteral("Connections served at once."),
                                           QStringLiteral("n"),
                                           QString::number(defaults.clients));
    const QCommandLineOption pendingOption(
        QStringLiteral("max-pending"), QStringLiteral("Unanswered requests per client."),
        QStringLiteral("n"), QString::number(defaults.pendingPerClient));
    const QCommandLineOption watchesOption(QStringLiteral("max-watches"),
                                           QStringLiteral("Watched keys per client."),
                                           QStringLiteral("n"),
                                           QString::number(defaults.watchesPerClient));
    const QCommandLineOption keyOption(QStringLiteral("max-key-bytes"),
                                       QStringLiteral("Longest command or key name, in bytes."),
                                       QStringLiteral("n"), QString::number(defaults.keyBytes));
    const QCommandLineOption queueOption(
        QStringLiteral("max-queued-bytes"),
        QStringLiteral("Output a client may leave unread before it is dropped."),
        QStringLiteral("bytes"), QString::number(defaults.queuedBytes));
    parser.addOptions({listenOption, remoteOption, robotOption, rebootOption, latencyOption,
                       paceOption, stateOption, tokenOption, originOption, clientsOption,
                       pendingOption, watchesOption, keyOption, queueOption});
    parser.process(app);

    QString host;
    quint16 port = 0;
    if (!mirel::ControllerProtocol::parseAddress(parser.value(listenOption), &host, &port))
        return fail(QStringLiteral("bad --listen address %1").arg(parser.value(listenOption)));
    QHostAddress address(host);
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        address = QHostAddress(QHostAddress::LocalHost);
    if (address.isNull())
        return fail(QStringLiteral("--listen needs a numeric address, not %1").arg(host));
    const bool remote = !address.isLoopback();
    if (remote && !parser.isSet(remoteOption))
        return fail(QStringLiteral("%1 is not loopback; add --allow-remote to listen there")
                        .arg(address.toString()));
    bool ok = false;
    const int rebootDelay = parser.value(rebootOption).toInt(&ok);
    // Beyond a day, the going-down notice carries a delay every client refuses.
    if (!ok || rebootDelay < 0 || rebootDelay > 86400000)
        return fail(QStringLiteral("bad --reboot-delay %1 (0 to 86400000 ms)")
                        .arg(parser.value(rebootOption)));
    const int latency = parser.value(latencyOption).toInt(&ok);
    if (!ok || latency < 0)
        return fail(QStringLiteral("bad --latency %1").arg(parser.value(latencyOption)));

    const double pace = parser.value(paceOption).toDouble(&ok);
    if (!ok || !(pace >= sim::RobotMotion::kMinPace) || !(pace <= sim::RobotMotion::kMaxPace))
        return fail(QStringLiteral("bad --motion-pace %1 (%2 to %3)")
                        .arg(parser.value(paceOption))
                        .arg(sim::RobotMotion::kMinPace)
                        .arg(sim::RobotMotion::kMaxPace));
    sim::ControllerServer::Limits limits;
    const std::pair<const QCommandLineOption *, int *> counts[] = {
        {&clientsOption, &limits.clients},
        {&pendingOption, &limits.pendingPerClient},
        {&watchesOption, &limits.watchesPerClient},
        {&keyOption, &limits.keyBytes}};
    for (const auto &count : counts) {
        *count.second = parser.value(*count.first).toInt(&ok);
        if (!ok || *count.second < 1)
            return fail(QStringLiteral("bad --%1 %2")
                            .arg(count.first->names().constFirst(), parser.value(*count.first)));
    }
    limits.queuedBytes = parser.value(queueOption).toLongLong(&ok);
    if (!ok || limits.queuedBytes < mirel::ControllerProtocol::MaxMessageBytes)
        return fail(QStringLiteral("bad --max-queued-bytes %1 (at least %2)")
                        .arg(parser.value(queueOption))
                        .arg(mirel::ControllerProtocol::MaxMessageBytes));

    QByteArray token;
    QString tokenError;
    const QString tokenPath = parser.isSet(tokenOption) ? parser.value(tokenOption)
                                                        : mirel::ControllerToken::userFilePath();
    const bool tokenRead = parser.isSet(tokenOption)
                               ? mirel::ControllerToken::readFile(tokenPath, &token, &tokenError)
                               : mirel::ControllerToken::readOrCreate(tokenPath, &token,
                                                                      &tokenError);
    if (!tokenRead)
        return fail(tokenError);

    sim::SimulatedController controller;
    if (!controller.setModel(parser.value(robotOption)))
        return fail(QStringLiteral("unknown robot %1").arg(parser.value(robotOption)));
    controller.setRebootDelay(rebootDelay);
    controller.setLatency(latency);
    controller.setMotionPace(pace);
    controller.bringUp();

    std::unique_ptr<sim::ControllerStateFile> state;
    if (parser.isSet(stateOption)) {
        state = std::make_unique<sim::ControllerStateFile>(parser.value(stateOption));
        QString error;
        if (state->load(&controller, &error) != sim::ControllerStateFile::Loaded)
            std::fprintf(stderr, "simcontroller: %s; starting from the factory state\n",
                         qPrintable(error));
        // Saved before each change is confirmed, so that a killed controller loses nothing it
        // confirmed and a change it could not save is not confirmed.
        state->keep(&controller);
    }

    sim::ControllerServer server(&controller);
    server.setToken(token);
    server.setAllowedOrigins(parser.values(originOption));
    server.setLimits(limits);
    if (!server.listen(address, port, remote))
        return fail(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(address.toString())
                        .arg(port)
                        .arg(server.errorString()));
    std::printf("simcontroller: %s listening on %s (%s)\n", qPrintable(controller.model().name),
                qPrintable(server.addressText()),
                remote ? "reachable from other machines" : "loopback only");
    std::printf("simcontroller: token in %s\n", qPrintable(QDir::toNativeSeparators(tokenPath)));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
