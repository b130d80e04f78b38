#pragma once

#include <tessel/tessel_global.h>

#include <QWidget>

namespace tessel {

/// Base of a plug-in's editor for one robot-language instruction. The host's program editor
/// shows it when the instruction is inserted and in its property panel, and owns it. GUI thread
/// only.
class TESSEL_EXPORT RLContentBase : public QWidget
{
    Q_OBJECT

public:
    /// An empty editor; the host re-parents it into its program editor.
    explicit RLContentBase(QWidget *parent = nullptr);
    ~RLContentBase() override;

    /// Fills the editor's fields from the instruction's text (for example "WaitDI di_start, 1").
    /// Does nothing by default.
    virtual void FillWith(const QString &text);
    /// The instruction's text as edited; empty by default.
    virtual QString ToString();
    /// May the edited instruction be inserted? False by default.
    virtual bool CheckInsert();
    /// May the edited instruction replace the selected one? False by default.
    virtual bool CheckReplace();

    /// The instruction keyword the editor was made for, as the plug-in set it.
    QString &getType();
    /// Sets the instruction keyword.
    void setType(const QString &type);

private:
    QString type;
};

} // namespace tessel
