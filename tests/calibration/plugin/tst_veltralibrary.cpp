#include "plugin/tessel_p.h"

#include <nabuSkald/centerwidget.h>
#include <support/guitestmain.h>
#include <support/temporarycurrentdir.h>

#include <QLabel>
#include <QLibrary>
#include <QTest>

#include <memory>

// The built plug-in library as the host loads it: its registration, its embedded logo and the
// version file beside it.
class tst_VeltraLibrary : public QObject
{
    Q_OBJECT

private slots:
    void loadedLibraryShowsItsVersionAndLogo();
};

void tst_VeltraLibrary::loadedLibraryShowsItsVersionAndLogo()
{
    support::TemporaryCurrentDir dir;
    QVERIFY(dir.isValid());
    QLibrary library(QStringLiteral(VELTRA_LIBRARY));
    QVERIFY2(library.load(), qPrintable(library.errorString()));

    skald::CenterWidget center;
    std::unique_ptr<tessel::Tessel> module(
        tessel::Tessel::create(QStringLiteral("Veltra"), nullptr));
    QVERIFY(module);
    module->setup();
    module->init();

    auto *versions = center.findChild<QLabel *>(QStringLiteral("versionValueLabel"));
    QVERIFY(versions);
    QVERIFY2(versions->text().startsWith(
                 QStringLiteral("<div style=\"line-height: 160%;\">Veltra Plugin Version: %1<br/>")
                     .arg(QStringLiteral(VELTRA_VERSION))),
             qPrintable(versions->text()));
    auto *logo = center.findChild<QLabel *>(QStringLiteral("logoLabel"));
    QVERIFY(logo);
    const QPixmap shown = logo->pixmap(Qt::ReturnByValue);
    QVERIFY(!shown.isNull());
    // Scaled to fit 340 x 112 with its aspect ratio kept.
    QVERIFY(shown.width() <= 340 && shown.height() <= 112);
    QVERIFY(shown.width() == 340 || shown.height() == 112);
    module.reset();
}

SUPPORT_GUI_TEST_MAIN(tst_VeltraLibrary)
#include "tst_veltralibrary.moc"
