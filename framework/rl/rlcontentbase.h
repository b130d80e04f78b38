#pragma once

#include <tessel/tessel_global.h>

#include <QWidget>

namespace tessel {

// Base of a plug-in's editor for one robot-language instruction. The host's program editor
// shows it when the instruction is inserted and in its property panel.
class TESSEL_EXPORT RLContentBase : public QWidget
{
    Q_OBJECT

public:
    explicit RLContentBase(QWidget *parent = nullptr);
    ~RLContentBase() override;

    // Fills the editor's fields from the instruction's text.
    virtual void FillWith(const QString &text);
    // The instruction's text as edited.
    virtual QString ToString();
    // May the edited instruction be inserted, or replace the selected one?
    virtual bool CheckInsert();
    virtual bool CheckReplace();

    QString &getType();
    void setType(const QString &type);

private:
    QString type;
};

} // namespace tessel
