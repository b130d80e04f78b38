#pragma once

#include "dialoganswer.h"
#include "dialogrecord.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQueue>

class QTimer;
class QWidget;

namespace support {

// While alive, answers every modal dialog that becomes the active modal widget, including the
// blocking static QMessageBox and QInputDialog functions: it records what the dialog shows and
// gives it the next scripted answer, or the default answer when none is left.
class ModalDialogWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultIntervalMs = 10;

    explicit ModalDialogWatcher(QObject *parent = nullptr);
    ~ModalDialogWatcher() override;

    // Answers are used in the order in which dialogs appear.
    void addAnswer(const DialogAnswer &answer);
    int pendingAnswers() const;
    void setDefaultAnswer(const DialogAnswer &answer);
    DialogAnswer defaultAnswer() const;
    void setInterval(int ms);
    int interval() const;

    QList<DialogRecord> dialogs() const;
    int count() const;
    // An empty record when no dialog was seen.
    DialogRecord last() const;
    // Spins the event loop until `n` dialogs in all were answered; false on time-out.
    bool waitForDialogs(int n, int timeoutMs = 5000);
    // Forgets the records and the scripted answers left.
    void clear();

private:
    void poll();
    void respond(const QPointer<QWidget> &dialog, int index, quint64 generation,
                 const DialogAnswer &reply);
    bool isBusy(const QWidget *dialog) const;
    int answeredCount() const;

    QTimer *m_timer;
    QList<DialogRecord> m_records;
    QQueue<DialogAnswer> m_answers;
    DialogAnswer m_default;
    // Dialogs whose answer is queued or still on the stack (a button that opened a dialog).
    QList<QPointer<QWidget>> m_busy;
    quint64 m_generation = 0;
};

} // namespace support
