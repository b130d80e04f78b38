#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kPollMs = 20;

bool isAccepting(QDialogButtonBox::ButtonRole role)
{
    return role == QDialogButtonBox::AcceptRole || role == QDialogButtonBox::YesRole;
}

// The button an operator in a hurry presses: the default one, else the one that accepts.
QAbstractButton *buttonFor(QMessageBox *box)
{
    if (QAbstractButton *button = box->defaultButton())
        return button;
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *button : buttons) {
        if (isAccepting(QDialogButtonBox::ButtonRole(box->buttonRole(button))))
            return button;
    }
    return buttons.size() == 1 ? buttons.first() : nullptr;
}

QAbstractButton *buttonFor(QDialog *dialog)
{
    const QList<QPushButton *> pushButtons = dialog->findChildren<QPushButton *>();
    for (QPushButton *button : pushButtons) {
        if (button->isDefault() && button->isVisibleTo(dialog) && button->isEnabled())
            return button;
    }
    const QList<QDialogButtonBox *> boxes = dialog->findChildren<QDialogButtonBox *>();
    for (QDialogButtonBox *buttonBox : boxes) {
        const QList<QAbstractButton *> buttons = buttonBox->buttons();
        for (QAbstractButton *button : buttons) {
            if (button->isVisibleTo(dialog) && isAccepting(buttonBox->buttonRole(button)))
                return button;
        }
    }
    return nullptr;
}

bool holds(const QList<QPointer<QWidget>> &dialogs, const QWidget *dialog)
{
    for (const QPointer<QWidget> &held : dialogs) {
        if (held == dialog)
            return true;
    }
    return false;
}

QLineEdit *passwordField(QWidget *dialog)
{
    const QList<QLineEdit *> edits = dialog->findChildren<QLineEdit *>();
    for (QLineEdit *edit : edits) {
        if (edit->echoMode() == QLineEdit::Password && edit->isVisibleTo(dialog))
            return edit;
    }
    return nullptr;
}

} // namespace

ModalAnswerer::ModalAnswerer(QObject *parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(kPollMs);
    connect(m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer->start();
}

ModalAnswerer::~ModalAnswerer() = default;

QString ModalAnswerer::plainText(QString text)
{
    text.remove(QLatin1Char('&'));
    return text.simplified();
}

void ModalAnswerer::setFolderChoice(const QString &folder)
{
    m_folder = folder;
}

void ModalAnswerer::pressNext(QMessageBox::StandardButton button)
{
    m_next = button;
}

void ModalAnswerer::setPassword(const QString &password)
{
    m_password = password;
}

QList<ModalAnswerer::Record> ModalAnswerer::records() const
{
    return m_records;
}

bool ModalAnswerer::hasSeen(const QString &text) const
{
    for (const Record &record : m_records) {
        if (record.text == text)
            return true;
    }
    return false;
}

void ModalAnswerer::clearRecords()
{
    m_records.clear();
}

// The timer only looks. The answer runs from the event queue: a button whose handler opens
// another dialog blocks there, not in this timer, which Qt would not fire again meanwhile.
void ModalAnswerer::poll()
{
    m_busy.removeAll(QPointer<QWidget>());
    m_answered.removeAll(QPointer<QWidget>());
    noteSelfClosingBoxes();
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || holds(m_busy, dialog))
        return;
    m_busy.append(dialog);
    const QPointer<QWidget> guarded(dialog);
    QMetaObject::invokeMethod(this, [this, guarded] { answer(guarded); }, Qt::QueuedConnection);
}

void ModalAnswerer::answer(const QPointer<QWidget> &dialog)
{
    if (!dialog || !dialog->isVisible()) {
        m_busy.removeAll(dialog); // closed meanwhile by the code that opened it
        return;
    }
    Record record;
    record.title = plainText(dialog->windowTitle());
    const QPointer<ModalAnswerer> self(this);

    if (auto *files = qobject_cast<QFileDialog *>(dialog.data())) {
        record.text = tr("choose a folder");
        if (m_folder.isEmpty()) {
            record.answer = tr("Cancel");
            m_records.append(record);
            emit message(tr("folder dialog \"%1\": cancelled").arg(record.title));
            files->reject();
        } else {
            record.answer = QDir::toNativeSeparators(m_folder);
            m_records.append(record);
            emit message(tr("folder dialog \"%1\": chose %2").arg(record.title, record.answer));
            files->setDirectory(m_folder);
            // QFileDialog hides its accept(); the dialog's own one runs through QDialog.
            static_cast<QDialog *>(files)->accept();
        }
    } else if (auto *box = qobject_cast<QMessageBox *>(dialog.data())) {
        record.text = box->text();
        QAbstractButton *button = box->button(m_next);
        if (button)
            m_next = QMessageBox::NoButton;
        else
            button = buttonFor(box);
        record.answer = button ? plainText(button->text()) : tr("close");
        m_records.append(record);
        emit message(tr("box \"%1\": %2 -> %3")
                         .arg(record.title, record.text.simplified(), record.answer));
        if (button)
            button->click();
        else
            box->close();
    } else if (holds(m_answered, dialog)) {
        // Still open after its answer: the dialog refused it, and would refuse it again.
        record.text = QString::fromLatin1(dialog->metaObject()->className());
        record.answer = tr("reject");
        m_records.append(record);
        emit message(tr("dialog \"%1\" (%2) stayed open -> reject").arg(record.title, record.text));
        if (auto *other = qobject_cast<QDialog *>(dialog.data()))
            other->reject();
        else
            dialog->close();
    } else {
        auto *other = qobject_cast<QDialog *>(dialog.data());
        QAbstractButton *button = other ? buttonFor(other) : nullptr;
        record.text = QString::fromLatin1(dialog->metaObject()->className());
        record.answer = button ? plainText(button->text()) : tr("accept");
        m_records.append(record);
        m_answered.append(dialog);
        QLineEdit *password = m_password.isEmpty() ? nullptr : passwordField(dialog);
        if (password)
            password->setText(m_password);
        emit message(tr("dialog \"%1\" (%2)%3 -> %4")
                         .arg(record.title, record.text,
                              password ? tr(", password typed") : QString(), record.answer));
        if (button)
            button->click();
        else if (other)
            other->accept();
        else
            dialog->close();
    }
    if (self)
        m_busy.removeAll(dialog);
}

void ModalAnswerer::noteSelfClosingBoxes()
{
    m_reported.removeAll(QPointer<QWidget>());
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        auto *box = qobject_cast<QMessageBox *>(window);
        if (!box || !box->isVisible() || box->windowModality() != Qt::NonModal
            || holds(m_reported, box))
            continue;
        m_reported.append(box);
        m_records.append({plainText(box->windowTitle()), box->text(), QString()});
        emit message(tr("box \"%1\": %2 (closes by itself)")
                         .arg(plainText(box->windowTitle()), box->text().simplified()));
    }
}
