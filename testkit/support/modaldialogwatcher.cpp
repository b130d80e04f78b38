#include "modaldialogwatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/qtest.h>

namespace support {

namespace {

QString withoutMnemonic(const QString &text)
{
    QString plain;
    plain.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&'))
                plain += text.at(++i);
            continue;
        }
        plain += text.at(i);
    }
    return plain;
}

QList<QAbstractButton *> buttonsOf(QWidget *dialog)
{
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        return box->buttons();
    QList<QAbstractButton *> buttons;
    const QList<QAbstractButton *> all = dialog->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : all) {
        if (button->isVisibleTo(dialog) && !button->text().isEmpty())
            buttons.append(button);
    }
    return buttons;
}

bool isAccepting(QDialogButtonBox::ButtonRole role)
{
    return role == QDialogButtonBox::AcceptRole || role == QDialogButtonBox::YesRole;
}

QAbstractButton *acceptingButtonOf(QWidget *dialog)
{
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        const QList<QAbstractButton *> buttons = box->buttons();
        for (QAbstractButton *button : buttons) {
            if (isAccepting(QDialogButtonBox::ButtonRole(box->buttonRole(button))))
                return button;
        }
        return buttons.size() == 1 ? buttons.first() : nullptr;
    }
    const QList<QDialogButtonBox *> boxes = dialog->findChildren<QDialogButtonBox *>();
    for (QDialogButtonBox *buttonBox : boxes) {
        if (!buttonBox->isVisibleTo(dialog))
            continue;
        const QList<QAbstractButton *> buttons = buttonBox->buttons();
        for (QAbstractButton *button : buttons) {
            if (button->isVisibleTo(dialog) && isAccepting(buttonBox->buttonRole(button)))
                return button;
        }
    }
    return nullptr;
}

QAbstractButton *defaultButtonOf(QWidget *dialog)
{
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        if (QAbstractButton *button = box->defaultButton())
            return button;
        return acceptingButtonOf(dialog);
    }
    const QList<QPushButton *> buttons = dialog->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->isDefault() && button->isVisibleTo(dialog))
            return button;
    }
    return acceptingButtonOf(dialog);
}

QAbstractButton *standardButtonOf(QWidget *dialog, QMessageBox::StandardButton which)
{
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        return box->button(which);
    const QList<QDialogButtonBox *> boxes = dialog->findChildren<QDialogButtonBox *>();
    for (QDialogButtonBox *buttonBox : boxes) {
        // The two enums share their values.
        if (QAbstractButton *button = buttonBox->button(QDialogButtonBox::StandardButton(which)))
            return button;
    }
    return nullptr;
}

QAbstractButton *buttonWithText(QWidget *dialog, const QString &text)
{
    const QString wanted = withoutMnemonic(text);
    const QList<QAbstractButton *> buttons = buttonsOf(dialog);
    for (QAbstractButton *button : buttons) {
        if (withoutMnemonic(button->text()) == wanted)
            return button;
    }
    return nullptr;
}

QLineEdit *lineEditOf(QWidget *dialog)
{
    if (auto *focused = qobject_cast<QLineEdit *>(dialog->focusWidget()))
        return focused;
    const QList<QLineEdit *> edits = dialog->findChildren<QLineEdit *>();
    for (QLineEdit *edit : edits) {
        if (edit->isVisibleTo(dialog) && !edit->isReadOnly())
            return edit;
    }
    return nullptr;
}

DialogRecord recordOf(QWidget *dialog)
{
    DialogRecord record;
    record.className = QString::fromLatin1(dialog->metaObject()->className());
    record.objectName = dialog->objectName();
    record.windowTitle = dialog->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
        record.kind = DialogRecord::MessageBox;
        record.text = box->text();
        record.informativeText = box->informativeText();
        record.icon = box->icon();
        record.standardButtons = box->standardButtons();
    } else if (auto *input = qobject_cast<QInputDialog *>(dialog)) {
        record.kind = DialogRecord::InputDialog;
        record.text = input->labelText();
        record.echoMode = input->textEchoMode();
    }
    const QList<QAbstractButton *> buttons = buttonsOf(dialog);
    for (QAbstractButton *button : buttons)
        record.buttonTexts.append(withoutMnemonic(button->text()));
    return record;
}

// What answering a dialog takes: optionally typing, then one action.
struct Plan
{
    enum Action { Click, Accept, Escape, Close };

    bool fits = true;
    Action action = Accept;
    QPointer<QAbstractButton> button;
    bool types = false;
    QString text;
};

Plan acceptPlan(QWidget *dialog, QAbstractButton *button)
{
    Plan plan;
    if (button) {
        plan.action = Plan::Click;
        plan.button = button;
    } else {
        plan.action = qobject_cast<QDialog *>(dialog) ? Plan::Accept : Plan::Close;
    }
    return plan;
}

Plan planFor(QWidget *dialog, const DialogAnswer &answer)
{
    switch (answer.kind()) {
    case DialogAnswer::Default:
        return acceptPlan(dialog, defaultButtonOf(dialog));
    case DialogAnswer::Accept:
        return acceptPlan(dialog, acceptingButtonOf(dialog));
    case DialogAnswer::Reject: {
        Plan plan;
        plan.action = Plan::Escape;
        return plan;
    }
    case DialogAnswer::PressButton:
    case DialogAnswer::PressText: {
        Plan plan;
        plan.action = Plan::Click;
        plan.button = answer.kind() == DialogAnswer::PressButton
                          ? standardButtonOf(dialog, answer.button())
                          : buttonWithText(dialog, answer.text());
        plan.fits = !plan.button.isNull();
        return plan;
    }
    case DialogAnswer::Type: {
        const bool input = qobject_cast<QInputDialog *>(dialog);
        Plan plan = acceptPlan(dialog, input ? nullptr : defaultButtonOf(dialog));
        plan.fits = input || lineEditOf(dialog);
        plan.types = true;
        plan.text = answer.text();
        return plan;
    }
    }
    return Plan();
}

void typeInto(QWidget *dialog, const QString &text)
{
    if (auto *input = qobject_cast<QInputDialog *>(dialog)) {
        switch (input->inputMode()) {
        case QInputDialog::TextInput:
            input->setTextValue(text);
            break;
        case QInputDialog::IntInput:
            input->setIntValue(text.toInt());
            break;
        case QInputDialog::DoubleInput:
            input->setDoubleValue(text.toDouble());
            break;
        }
        return;
    }
    if (QLineEdit *edit = lineEditOf(dialog))
        edit->setText(text);
}

} // namespace

ModalDialogWatcher::ModalDialogWatcher(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    connect(m_timer, &QTimer::timeout, this, &ModalDialogWatcher::poll);
    m_timer->setInterval(DefaultIntervalMs);
    // Modal widgets exist only under a QApplication; asking without one crashes.
    if (qobject_cast<QApplication *>(QCoreApplication::instance()))
        m_timer->start();
    else
        qWarning("ModalDialogWatcher: needs a QApplication; it will not answer anything");
}

ModalDialogWatcher::~ModalDialogWatcher() = default;

void ModalDialogWatcher::addAnswer(const DialogAnswer &answer)
{
    m_answers.enqueue(answer);
}

int ModalDialogWatcher::pendingAnswers() const
{
    return m_answers.size();
}

void ModalDialogWatcher::setDefaultAnswer(const DialogAnswer &answer)
{
    m_default = answer;
}

DialogAnswer ModalDialogWatcher::defaultAnswer() const
{
    return m_default;
}

void ModalDialogWatcher::setInterval(int ms)
{
    m_timer->setInterval(qMax(1, ms));
}

int ModalDialogWatcher::interval() const
{
    return m_timer->interval();
}

QList<DialogRecord> ModalDialogWatcher::dialogs() const
{
    return m_records;
}

int ModalDialogWatcher::count() const
{
    return m_records.size();
}

DialogRecord ModalDialogWatcher::last() const
{
    return m_records.isEmpty() ? DialogRecord() : m_records.last();
}

bool ModalDialogWatcher::waitForDialogs(int n, int timeoutMs)
{
    return QTest::qWaitFor([this, n] { return answeredCount() >= n; }, timeoutMs);
}

void ModalDialogWatcher::clear()
{
    m_records.clear();
    m_answers.clear();
    ++m_generation;
}

// The timer only looks and records. The answer runs from the event queue, so that a button
// whose handler opens another dialog blocks there and not in this timer, which Qt does not
// re-enter: the watcher keeps polling and answers the inner dialog too.
void ModalDialogWatcher::poll()
{
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || isBusy(dialog))
        return;
    const int index = m_records.size();
    m_records.append(recordOf(dialog));
    const DialogAnswer next = m_answers.isEmpty() ? m_default : m_answers.dequeue();
    m_busy.append(dialog);
    const QPointer<QWidget> guarded(dialog);
    const quint64 generation = m_generation;
    const auto run = [this, guarded, index, generation, next] {
        respond(guarded, index, generation, next);
    };
    QMetaObject::invokeMethod(this, run, Qt::QueuedConnection);
}

void ModalDialogWatcher::respond(const QPointer<QWidget> &dialog, int index, quint64 generation,
                                 const DialogAnswer &reply)
{
    const auto release = [this, &dialog] { m_busy.removeAll(dialog); };
    if (!dialog || !dialog->isVisible()) {
        release(); // closed meanwhile by the code that opened it
        return;
    }
    Plan plan = planFor(dialog, reply);
    if (!plan.fits) {
        qWarning("ModalDialogWatcher: cannot %s on %s \"%s\"; answering by default",
                 qPrintable(reply.toString()), dialog->metaObject()->className(),
                 qPrintable(dialog->windowTitle()));
        plan = planFor(dialog, m_default);
        if (!plan.fits)
            plan = planFor(dialog, DialogAnswer::byDefault());
    }

    const bool current = generation == m_generation && index < m_records.size();
    if (current) {
        DialogRecord &record = m_records[index];
        record.answered = true;
        if (plan.button)
            record.pressedButton = withoutMnemonic(plan.button->text());
        if (plan.types)
            record.typedText = plan.text;
        record.rejected = plan.action == Plan::Escape;
    }

    // From here on the dialog's own code runs; it may open further dialogs, close or delete this
    // one, or delete the watcher.
    const QPointer<ModalDialogWatcher> self(this);
    if (plan.types)
        typeInto(dialog, plan.text);
    switch (plan.action) {
    case Plan::Click:
        if (plan.button)
            plan.button->click();
        break;
    case Plan::Accept:
        if (auto *d = qobject_cast<QDialog *>(dialog))
            d->accept();
        break;
    case Plan::Escape: {
        const QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(dialog.data());
        QTest::keyClick(dialog, Qt::Key_Escape);
        if (!self)
            return;
        if (box && box->clickedButton() && current && generation == m_generation)
            m_records[index].pressedButton = withoutMnemonic(box->clickedButton()->text());
        // A message box without an escape button ignores the key.
        if (dialog && dialog->isVisible() && !(box && box->clickedButton())) {
            if (auto *d = qobject_cast<QDialog *>(dialog))
                d->reject();
            else
                dialog->close();
        }
        break;
    }
    case Plan::Close:
        dialog->close();
        break;
    }
    if (self)
        release();
}

bool ModalDialogWatcher::isBusy(const QWidget *dialog) const
{
    for (const QPointer<QWidget> &busy : m_busy) {
        if (busy == dialog)
            return true;
    }
    return false;
}

int ModalDialogWatcher::answeredCount() const
{
    int answered = 0;
    for (const DialogRecord &record : m_records)
        answered += record.answered ? 1 : 0;
    return answered;
}

} // namespace support
