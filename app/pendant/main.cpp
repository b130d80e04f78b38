#include "pendantlanguage.h"
#include "pendantoptions.h"
#include "pendantsession.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pendant"));

    const PendantOptions options = PendantOptions::fromArguments(QApplication::arguments());
    QTextStream out(stdout);
    if (!options.ok) {
        QTextStream(stderr) << options.error << Qt::endl;
        return options.error.startsWith(QLatin1String("Usage")) ? 0 : 2;
    }

    PendantLanguage language(&app);
    if (!language.apply(options.language))
        QTextStream(stderr) << "pendant: translations missing; texts stay as written" << Qt::endl;

    int exitCode = 0;
    {
        PendantSession session(options);
        QObject::connect(&session, &PendantSession::message, &app,
                         [&out](const QString &text) { out << "pendant: " << text << Qt::endl; });
        QObject::connect(&session, &PendantSession::finished, &app,
                         [](int code) { QApplication::exit(code); });
        if (!session.start())
            return 1;
        exitCode = app.exec();
    }
    return exitCode;
}
