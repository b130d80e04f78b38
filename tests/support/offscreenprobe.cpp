// Started by tst_support_guitestmain: reports the platform that SUPPORT_GUI_TEST_MAIN chose.
#include <support/guitestmain.h>

#include <cstdio>

class tst_OffscreenProbe : public QObject
{
    Q_OBJECT

private slots:
    void reportPlatform()
    {
        QVERIFY(qobject_cast<QApplication *>(QCoreApplication::instance()));
        std::printf("platform=%s\nenvironment=%s\n", qPrintable(QGuiApplication::platformName()),
                    qgetenv("QT_QPA_PLATFORM").constData());
        std::fflush(stdout);
    }
};

SUPPORT_GUI_TEST_MAIN(tst_OffscreenProbe)

#include "offscreenprobe.moc"
