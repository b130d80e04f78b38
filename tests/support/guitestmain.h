#pragma once

#include <QApplication>
#include <QtTest/qtest.h>

namespace support {

// Chooses the offscreen platform plug-in unless the environment already names one. Returns true
// when it did. Call it before the QApplication is made.
bool prepareOffscreen();

} // namespace support

// QTEST_MAIN for widget tests that must also run without a display when started by hand.
#define SUPPORT_GUI_TEST_MAIN(TestObject) \
    int main(int argc, char *argv[]) \
    { \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>(); \
        ::support::prepareOffscreen(); \
        QApplication app(argc, argv); \
        app.setAttribute(Qt::AA_Use96Dpi, true); \
        TestObject tc; \
        QTEST_SET_MAIN_SOURCE_PATH \
        return QTest::qExec(&tc, argc, argv); \
    }
