#include "pendantlanguage.h"
#include "pendantoptions.h"
#include "pendantsession.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("pendant"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PENDANT_VERSION));

    // Help, version and bad arguments need no display: the command line is read before the GUI
    // exists, so they work on any terminal.
    PendantOptions options;
    {
        const QCoreApplication parsing(argc, argv);
        options = PendantOptions::fromArguments(QCoreApplication::arguments());
    }
    if (!options.printOnly.isEmpty()) {
        QTextStream(stdout) << options.printOnly;
        return 0;
    }
    if (!options.ok) {
        QTextStream(stderr) << "pendant: " << options.error << Qt::endl;
        return 2;
    }

    QApplication app(argc, argv);
    QTextStream out(stdout);
    PendantLanguage language(&app);
    if (!language.apply(options.language))
        QTextStream(stderr) << "pendant: translations missing; texts stay as written" << Qt::endl;

    int exitCode = 0;
    {
        PendantSession session(options);
        QObject::connect(&session, &PendantSession::message, &app,
                         [&out](const QString &text) { out << "pendant: " << text << Qt::endl; });
        QObject::connect(&session, &PendantSession::failure, &app, [](const QString &text) {
            QTextStream(stderr) << "pendant: error: " << text << Qt::endl;
        });
        QObject::connect(&session, &PendantSession::finished, &app,
                         [](int code) { QApplication::exit(code); });
        if (!session.start())
            return 1;
        exitCode = app.exec();
    }
    return exitCode;
}
