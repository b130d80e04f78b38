#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

using support::DialogAnswer;
using support::DialogRecord;
using support::ModalDialogWatcher;

Q_DECLARE_METATYPE(QMessageBox::StandardButton)

namespace {

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// A settings-like dialog: a line edit, OK and Cancel.
class EntryDialog : public QDialog
{
    Q_OBJECT

public:
    explicit EntryDialog(QWidget *parent = nullptr)
        : QDialog(parent)
        , edit(new QLineEdit(this))
    {
        setObjectName(QStringLiteral("entryDialog"));
        setWindowTitle(QStringLiteral("Robot address"));
        auto *buttons =
            new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(edit);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    }

    QLineEdit *edit;
};

// A wizard step whose "Next" asks for confirmation and finishes only on Yes.
class ConfirmDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ConfirmDialog(QWidget *parent = nullptr)
        : QDialog(parent)
    {
        setWindowTitle(QStringLiteral("Calibration"));
        auto *next = new QPushButton(QStringLiteral("&Next"), this);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(next);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        connect(next, &QPushButton::clicked, this, [this] {
            answer = QMessageBox::question(this, QStringLiteral("Confirm"),
                                           QStringLiteral("Start the measurement?"));
            if (answer == QMessageBox::Yes)
                accept();
        });
    }

    QMessageBox::StandardButton answer = QMessageBox::NoButton;
};

// Its button waits for the controller in a nested event loop before it closes the dialog.
class SlowApplyDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SlowApplyDialog(QWidget *parent = nullptr)
        : QDialog(parent)
    {
        auto *apply = new QPushButton(QStringLiteral("Apply"), this);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(apply);
        connect(apply, &QPushButton::clicked, this, [this] {
            ++applied;
            QEventLoop wait;
            QTimer::singleShot(150, &wait, &QEventLoop::quit);
            wait.exec();
            accept();
        });
    }

    int applied = 0;
};

} // namespace

class tst_ModalDialogWatcher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordsStaticMessageBoxes_data();
    void recordsStaticMessageBoxes();
    void recordsInformativeText();
    void answersMessageBox_data();
    void answersMessageBox();
    void answersInputDialog_data();
    void answersInputDialog();
    void answersNumberInputDialogs();
    void answersOtherDialog_data();
    void answersOtherDialog();
    void rejectsWithoutEscapeButton();
    void usesQueueThenDefault();
    void unfitAnswerFallsBack_data();
    void unfitAnswerFallsBack();
    void answersDialogOpenedByDialog();
    void answersDialogLeftOpenAgain();
    void answersInNestedEventLoops();
    void answersOnceWhileButtonWaits();
    void waitsForDialogs();
    void answersOnlyWhileAlive();

private:
    // Closes what a broken watcher leaves open, so that a fault fails the test instead of
    // hanging it.
    QTimer m_rescue;
    bool m_rescued = false;
};

void tst_ModalDialogWatcher::init()
{
    m_rescued = false;
    m_rescue.disconnect();
    connect(&m_rescue, &QTimer::timeout, this, [this] {
        if (QWidget *stuck = QApplication::activeModalWidget()) {
            m_rescued = true;
            stuck->close();
        }
    });
    m_rescue.start(8000);
}

void tst_ModalDialogWatcher::cleanup()
{
    m_rescue.stop();
    QVERIFY2(!m_rescued, "a modal dialog was left unanswered");
}

void tst_ModalDialogWatcher::recordsStaticMessageBoxes_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QMessageBox::StandardButtons>("buttons");
    QTest::addColumn<QMessageBox::StandardButton>("defaultButton");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::addColumn<QStringList>("buttonTexts");
    QTest::addColumn<QMessageBox::StandardButton>("result");

    QTest::newRow("information")
        << 0 << QMessageBox::StandardButtons(QMessageBox::Ok) << QMessageBox::NoButton
        << QMessageBox::Information << QStringList{QStringLiteral("OK")} << QMessageBox::Ok;
    QTest::newRow("warning, default No")
        << 1 << (QMessageBox::Yes | QMessageBox::No) << QMessageBox::No << QMessageBox::Warning
        << QStringList{QStringLiteral("Yes"), QStringLiteral("No")} << QMessageBox::No;
    QTest::newRow("critical, no default")
        << 2 << (QMessageBox::Retry | QMessageBox::Cancel) << QMessageBox::NoButton
        << QMessageBox::Critical << QStringList{QStringLiteral("Retry"), QStringLiteral("Cancel")}
        << QMessageBox::Retry;
    QTest::newRow("question, no default")
        << 3 << (QMessageBox::Yes | QMessageBox::No) << QMessageBox::NoButton
        << QMessageBox::Question << QStringList{QStringLiteral("Yes"), QStringLiteral("No")}
        << QMessageBox::Yes;
    QTest::newRow("question, default Cancel")
        << 3 << (QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)
        << QMessageBox::Cancel << QMessageBox::Question
        << QStringList{QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")}
        << QMessageBox::Cancel;
}

void tst_ModalDialogWatcher::recordsStaticMessageBoxes()
{
    QFETCH(int, function);
    QFETCH(QMessageBox::StandardButtons, buttons);
    QFETCH(QMessageBox::StandardButton, defaultButton);
    QFETCH(QMessageBox::Icon, icon);
    QFETCH(QStringList, buttonTexts);
    QFETCH(QMessageBox::StandardButton, result);

    ModalDialogWatcher watcher;
    const QString title = QStringLiteral("DH calibration");
    const QString text = QStringLiteral("标定结果 \"%1\"").arg(function);
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    switch (function) {
    case 0:
        answer = QMessageBox::information(nullptr, title, text, buttons, defaultButton);
        break;
    case 1:
        answer = QMessageBox::warning(nullptr, title, text, buttons, defaultButton);
        break;
    case 2:
        answer = QMessageBox::critical(nullptr, title, text, buttons, defaultButton);
        break;
    default:
        answer = QMessageBox::question(nullptr, title, text, buttons, defaultButton);
        break;
    }
    QCOMPARE(answer, result);
    QCOMPARE(watcher.count(), 1);
    const DialogRecord record = watcher.last();
    QCOMPARE(record.kind, DialogRecord::MessageBox);
    QCOMPARE(record.className, QStringLiteral("QMessageBox"));
    QCOMPARE(record.windowTitle, title);
    QCOMPARE(record.text, text);
    QCOMPARE(record.icon, icon);
    QCOMPARE(record.standardButtons, buttons);
    QCOMPARE(sorted(record.buttonTexts), sorted(buttonTexts));
    QVERIFY(record.answered);
    QVERIFY(!record.rejected);
    QVERIFY(record.typedText.isNull());
    QVERIFY(buttonTexts.contains(record.pressedButton));
}

void tst_ModalDialogWatcher::recordsInformativeText()
{
    ModalDialogWatcher watcher;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Apply"),
                    QStringLiteral("Apply the DH set?"), QMessageBox::Apply | QMessageBox::Abort);
    box.setObjectName(QStringLiteral("applyBox"));
    box.setInformativeText(QStringLiteral("The controller reboots."));
    watcher.addAnswer(DialogAnswer::press(QMessageBox::Abort));
    QCOMPARE(box.exec(), int(QMessageBox::Abort));
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().objectName, QStringLiteral("applyBox"));
    QCOMPARE(watcher.last().text, QStringLiteral("Apply the DH set?"));
    QCOMPARE(watcher.last().informativeText, QStringLiteral("The controller reboots."));
    QCOMPARE(watcher.last().pressedButton, QStringLiteral("Abort"));
}

void tst_ModalDialogWatcher::answersMessageBox_data()
{
    QTest::addColumn<DialogAnswer>("answer");
    QTest::addColumn<QMessageBox::StandardButton>("defaultButton");
    QTest::addColumn<QMessageBox::StandardButton>("result");
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<bool>("rejected");

    QTest::newRow("press No") << DialogAnswer::press(QMessageBox::No) << QMessageBox::NoButton
                              << QMessageBox::No << QStringLiteral("No") << false;
    QTest::newRow("press by text") << DialogAnswer::press(QStringLiteral("Cancel"))
                                   << QMessageBox::NoButton << QMessageBox::Cancel
                                   << QStringLiteral("Cancel") << false;
    QTest::newRow("press by text with mark") << DialogAnswer::press(QStringLiteral("&No"))
                                             << QMessageBox::Yes << QMessageBox::No
                                             << QStringLiteral("No") << false;
    QTest::newRow("reject presses escape button")
        << DialogAnswer::reject() << QMessageBox::Yes << QMessageBox::Cancel
        << QStringLiteral("Cancel") << true;
    QTest::newRow("accept") << DialogAnswer::accept() << QMessageBox::No << QMessageBox::Yes
                            << QStringLiteral("Yes") << false;
    QTest::newRow("default button") << DialogAnswer::byDefault() << QMessageBox::No
                                    << QMessageBox::No << QStringLiteral("No") << false;
}

void tst_ModalDialogWatcher::answersMessageBox()
{
    QFETCH(DialogAnswer, answer);
    QFETCH(QMessageBox::StandardButton, defaultButton);
    QFETCH(QMessageBox::StandardButton, result);
    QFETCH(QString, pressed);
    QFETCH(bool, rejected);

    ModalDialogWatcher watcher;
    watcher.addAnswer(answer);
    QCOMPARE(watcher.pendingAnswers(), 1);
    const QMessageBox::StandardButton got = QMessageBox::question(
        nullptr, QStringLiteral("Save"), QStringLiteral("Save the report?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, defaultButton);
    QCOMPARE(got, result);
    QCOMPARE(watcher.pendingAnswers(), 0);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().pressedButton, pressed);
    QCOMPARE(watcher.last().rejected, rejected);
}

void tst_ModalDialogWatcher::answersInputDialog_data()
{
    QTest::addColumn<DialogAnswer>("answer");
    QTest::addColumn<QLineEdit::EchoMode>("echo");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("result");

    QTest::newRow("typed") << DialogAnswer::type(QStringLiteral("机器人 'A' $x"))
                           << QLineEdit::Normal << true << QStringLiteral("机器人 'A' $x");
    QTest::newRow("password") << DialogAnswer::type(QStringLiteral("s3cret"))
                              << QLineEdit::Password << true << QStringLiteral("s3cret");
    QTest::newRow("default keeps preset") << DialogAnswer::byDefault() << QLineEdit::Normal
                                          << true << QStringLiteral("preset");
    QTest::newRow("accept keeps preset") << DialogAnswer::accept() << QLineEdit::Normal << true
                                         << QStringLiteral("preset");
    QTest::newRow("rejected") << DialogAnswer::reject() << QLineEdit::Normal << false
                              << QString();
}

void tst_ModalDialogWatcher::answersInputDialog()
{
    QFETCH(DialogAnswer, answer);
    QFETCH(QLineEdit::EchoMode, echo);
    QFETCH(bool, ok);
    QFETCH(QString, result);

    ModalDialogWatcher watcher;
    watcher.addAnswer(answer);
    bool accepted = !ok;
    const QString got = QInputDialog::getText(nullptr, QStringLiteral("Service login"),
                                              QStringLiteral("Password:"), echo,
                                              QStringLiteral("preset"), &accepted);
    QCOMPARE(accepted, ok);
    QCOMPARE(got, result);
    QCOMPARE(watcher.count(), 1);
    const DialogRecord record = watcher.last();
    QCOMPARE(record.kind, DialogRecord::InputDialog);
    QCOMPARE(record.className, QStringLiteral("QInputDialog"));
    QCOMPARE(record.windowTitle, QStringLiteral("Service login"));
    QCOMPARE(record.text, QStringLiteral("Password:"));
    QCOMPARE(record.echoMode, echo);
    QCOMPARE(record.rejected, !ok);
    QCOMPARE(record.typedText.isNull(), answer.kind() != DialogAnswer::Type);
}

void tst_ModalDialogWatcher::answersNumberInputDialogs()
{
    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::type(QStringLiteral("42")));
    watcher.addAnswer(DialogAnswer::type(QStringLiteral("1.25")));
    watcher.addAnswer(DialogAnswer::type(QStringLiteral("SR7-800")));
    bool ok = false;
    QCOMPARE(QInputDialog::getInt(nullptr, QStringLiteral("Poses"), QStringLiteral("Count:"), 10,
                                  1, 100, 1, &ok),
             42);
    QVERIFY(ok);
    ok = false;
    QCOMPARE(QInputDialog::getDouble(nullptr, QStringLiteral("Tolerance"), QStringLiteral("mm:"),
                                     0.5, 0, 10, 2, &ok),
             1.25);
    QVERIFY(ok);
    ok = false;
    const QStringList models{QStringLiteral("SR6-900"), QStringLiteral("SR7-800")};
    QCOMPARE(QInputDialog::getItem(nullptr, QStringLiteral("Robot"), QStringLiteral("Model:"),
                                   models, 0, false, &ok),
             QStringLiteral("SR7-800"));
    QVERIFY(ok);
    QCOMPARE(watcher.count(), 3);
    QCOMPARE(watcher.dialogs().at(0).text, QStringLiteral("Count:"));
    QCOMPARE(watcher.dialogs().at(1).text, QStringLiteral("mm:"));
    QCOMPARE(watcher.dialogs().at(2).typedText, QStringLiteral("SR7-800"));
}

void tst_ModalDialogWatcher::answersOtherDialog_data()
{
    QTest::addColumn<DialogAnswer>("answer");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pressed");

    QTest::newRow("typed") << DialogAnswer::type(QStringLiteral("192.168.0.7 \"x\""))
                           << int(QDialog::Accepted) << QStringLiteral("192.168.0.7 \"x\"")
                           << QStringLiteral("OK");
    QTest::newRow("press Cancel") << DialogAnswer::press(QMessageBox::Cancel)
                                  << int(QDialog::Rejected) << QStringLiteral("old")
                                  << QStringLiteral("Cancel");
    QTest::newRow("press OK by text") << DialogAnswer::press(QStringLiteral("OK"))
                                      << int(QDialog::Accepted) << QStringLiteral("old")
                                      << QStringLiteral("OK");
    QTest::newRow("default") << DialogAnswer::byDefault() << int(QDialog::Accepted)
                             << QStringLiteral("old") << QStringLiteral("OK");
    QTest::newRow("reject") << DialogAnswer::reject() << int(QDialog::Rejected)
                            << QStringLiteral("old") << QString();
}

void tst_ModalDialogWatcher::answersOtherDialog()
{
    QFETCH(DialogAnswer, answer);
    QFETCH(int, result);
    QFETCH(QString, text);
    QFETCH(QString, pressed);

    ModalDialogWatcher watcher;
    watcher.addAnswer(answer);
    EntryDialog dialog;
    dialog.edit->setText(QStringLiteral("old"));
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(dialog.edit->text(), text);
    QCOMPARE(watcher.count(), 1);
    const DialogRecord record = watcher.last();
    QCOMPARE(record.kind, DialogRecord::OtherDialog);
    QCOMPARE(record.className, QStringLiteral("EntryDialog"));
    QCOMPARE(record.objectName, QStringLiteral("entryDialog"));
    QCOMPARE(record.windowTitle, QStringLiteral("Robot address"));
    QCOMPARE(sorted(record.buttonTexts), sorted({QStringLiteral("OK"), QStringLiteral("Cancel")}));
    QCOMPARE(record.pressedButton, pressed);
}

// Escape does nothing on a message box without an escape button; the watcher rejects it.
void tst_ModalDialogWatcher::rejectsWithoutEscapeButton()
{
    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::reject());
    const QMessageBox::StandardButton got =
        QMessageBox::warning(nullptr, QStringLiteral("Report"), QStringLiteral("Keep it?"),
                             QMessageBox::Save | QMessageBox::Discard);
    QVERIFY(got != QMessageBox::Save);
    QVERIFY(got != QMessageBox::Discard);
    QCOMPARE(watcher.count(), 1);
    QVERIFY(watcher.last().rejected);
    QVERIFY(watcher.last().pressedButton.isEmpty());
}

void tst_ModalDialogWatcher::usesQueueThenDefault()
{
    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::press(QMessageBox::No));
    watcher.addAnswer(DialogAnswer::press(QMessageBox::Yes));
    watcher.setDefaultAnswer(DialogAnswer::reject());
    QCOMPARE(watcher.defaultAnswer().kind(), DialogAnswer::Reject);
    QCOMPARE(watcher.pendingAnswers(), 2);

    const auto ask = [](const QString &text) {
        return QMessageBox::question(nullptr, QStringLiteral("Step"), text,
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };
    QCOMPARE(ask(QStringLiteral("one")), QMessageBox::No);
    QCOMPARE(watcher.pendingAnswers(), 1);
    QCOMPARE(ask(QStringLiteral("two")), QMessageBox::Yes);
    QCOMPARE(watcher.pendingAnswers(), 0);
    QCOMPARE(ask(QStringLiteral("three")), QMessageBox::Cancel);
    QCOMPARE(ask(QStringLiteral("four")), QMessageBox::Cancel);

    const QList<DialogRecord> records = watcher.dialogs();
    QCOMPARE(records.size(), 4);
    QStringList texts;
    for (const DialogRecord &record : records)
        texts.append(record.text);
    QCOMPARE(texts, (QStringList{QStringLiteral("one"), QStringLiteral("two"),
                                 QStringLiteral("three"), QStringLiteral("four")}));
    QVERIFY(!records.at(1).rejected);
    QVERIFY(records.at(2).rejected);

    watcher.addAnswer(DialogAnswer::accept());
    watcher.clear();
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(watcher.pendingAnswers(), 0);
    QVERIFY(!watcher.last().answered);
    QVERIFY(watcher.last().windowTitle.isEmpty());
}

void tst_ModalDialogWatcher::unfitAnswerFallsBack_data()
{
    QTest::addColumn<DialogAnswer>("answer");
    QTest::addColumn<QString>("warning");

    QTest::newRow("unknown text") << DialogAnswer::press(QStringLiteral("Nope"))
                                  << QStringLiteral("press \"Nope\"");
    QTest::newRow("absent standard button") << DialogAnswer::press(QMessageBox::Retry)
                                            << QStringLiteral("press button");
    QTest::newRow("typing into a message box") << DialogAnswer::type(QStringLiteral("x"))
                                               << QStringLiteral("type \"x\"");
}

void tst_ModalDialogWatcher::unfitAnswerFallsBack()
{
    QFETCH(DialogAnswer, answer);
    QFETCH(QString, warning);

    ModalDialogWatcher watcher;
    watcher.addAnswer(answer);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^ModalDialogWatcher: cannot ")
                                            + QRegularExpression::escape(warning)
                                            + QStringLiteral(".* on QMessageBox \"Report\"")));
    QCOMPARE(QMessageBox::information(nullptr, QStringLiteral("Report"), QStringLiteral("Saved"),
                                      QMessageBox::Ok | QMessageBox::Close, QMessageBox::Close),
             QMessageBox::Close);
    QCOMPARE(watcher.last().pressedButton, QStringLiteral("Close"));
    QVERIFY(watcher.last().typedText.isNull());
}

void tst_ModalDialogWatcher::answersDialogOpenedByDialog()
{
    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::press(QStringLiteral("Next")));
    watcher.addAnswer(DialogAnswer::press(QMessageBox::Yes));
    ConfirmDialog dialog;
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.answer, QMessageBox::Yes);
    QCOMPARE(watcher.count(), 2);
    QCOMPARE(watcher.dialogs().at(0).className, QStringLiteral("ConfirmDialog"));
    QCOMPARE(watcher.dialogs().at(0).pressedButton, QStringLiteral("Next"));
    QCOMPARE(watcher.dialogs().at(1).text, QStringLiteral("Start the measurement?"));
    QCOMPARE(watcher.dialogs().at(1).pressedButton, QStringLiteral("Yes"));
}

// A dialog still open after its answer is answered again, with the next answer.
void tst_ModalDialogWatcher::answersDialogLeftOpenAgain()
{
    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::press(QStringLiteral("Next")));
    watcher.addAnswer(DialogAnswer::press(QMessageBox::No));
    watcher.addAnswer(DialogAnswer::reject());
    ConfirmDialog dialog;
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(dialog.answer, QMessageBox::No);
    QCOMPARE(watcher.count(), 3);
    QCOMPARE(watcher.dialogs().at(0).windowTitle, QStringLiteral("Calibration"));
    QCOMPARE(watcher.dialogs().at(1).windowTitle, QStringLiteral("Confirm"));
    QCOMPARE(watcher.dialogs().at(2).windowTitle, QStringLiteral("Calibration"));
    QVERIFY(watcher.dialogs().at(2).rejected);
}

void tst_ModalDialogWatcher::answersInNestedEventLoops()
{
    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::press(QMessageBox::Ok));
    watcher.addAnswer(DialogAnswer::press(QMessageBox::No));
    QMessageBox::StandardButton first = QMessageBox::NoButton;
    QMessageBox::StandardButton second = QMessageBox::NoButton;
    QEventLoop outer;
    // The way the host waits for the controller: a dialog from inside a nested loop, then one
    // after it, all from a queued call.
    QTimer::singleShot(0, &outer, [&] {
        QEventLoop inner;
        QTimer::singleShot(20, &inner, [&] {
            first = QMessageBox::information(nullptr, QStringLiteral("Link"),
                                             QStringLiteral("Waiting for the controller"));
            inner.quit();
        });
        inner.exec();
        second = QMessageBox::question(nullptr, QStringLiteral("Link"),
                                       QStringLiteral("Read the DH set again?"));
        outer.quit();
    });
    QTimer::singleShot(6000, &outer, &QEventLoop::quit);
    outer.exec();
    QCOMPARE(first, QMessageBox::Ok);
    QCOMPARE(second, QMessageBox::No);
    QCOMPARE(watcher.count(), 2);
}

// The dialog stays the active modal widget while its button waits: one answer, not two.
void tst_ModalDialogWatcher::answersOnceWhileButtonWaits()
{
    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::press(QStringLiteral("Apply")));
    SlowApplyDialog dialog;
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.applied, 1);
    QCOMPARE(watcher.count(), 1);
}

void tst_ModalDialogWatcher::waitsForDialogs()
{
    ModalDialogWatcher watcher;
    QCOMPARE(watcher.interval(), int(ModalDialogWatcher::DefaultIntervalMs));
    watcher.setInterval(5);
    QCOMPARE(watcher.interval(), 5);
    QVERIFY(!watcher.waitForDialogs(1, 50));

    QList<QMessageBox::StandardButton> results;
    for (int i = 0; i < 3; ++i) {
        QTimer::singleShot(10 * i, this, [&results, i] {
            results.append(QMessageBox::warning(nullptr, QStringLiteral("Late"),
                                                QString::number(i)));
        });
    }
    QVERIFY(watcher.waitForDialogs(3, 5000));
    QTRY_COMPARE(results.size(), 3);
    QCOMPARE(watcher.count(), 3);
    QVERIFY(!watcher.waitForDialogs(4, 50));
}

void tst_ModalDialogWatcher::answersOnlyWhileAlive()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("Report"), QStringLiteral("Saved"));
    {
        ModalDialogWatcher watcher;
        box.open();
        QTRY_VERIFY(!box.isVisible());
        QCOMPARE(watcher.count(), 1);
    }
    box.open();
    QVERIFY(box.isVisible());
    // A negative can only be shown by waiting: several polling intervals.
    QTest::qWait(10 * ModalDialogWatcher::DefaultIntervalMs);
    QVERIFY(box.isVisible());
    box.close();
    QVERIFY(!box.isVisible());
}

SUPPORT_GUI_TEST_MAIN(tst_ModalDialogWatcher)

#include "tst_modaldialogwatcher.moc"
