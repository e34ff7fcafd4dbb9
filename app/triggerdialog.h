#ifndef TEVRANO_TRIGGERDIALOG_H
#define TEVRANO_TRIGGERDIALOG_H

#include "trigger.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

// "触发记录…": what a triggered recording waits for, how much it keeps before
// the trigger and after it cleared, and whether it stops after one capture.
// Levels and rates are shown in the instrument's unit and handed out in Celsius.
class TriggerDialog : public QDialog
{
    Q_OBJECT

public:
    // `unit`: 1 Fahrenheit, 2 Celsius.
    explicit TriggerDialog(int unit, QWidget *parent = nullptr);

    void setTrigger(const Trigger &trigger);
    Trigger trigger() const;

    QComboBox *kindBox() const { return m_kind; }
    QDoubleSpinBox *levelBox() const { return m_level; }
    QDoubleSpinBox *preBox() const { return m_pre; }
    QDoubleSpinBox *postBox() const { return m_post; }
    QCheckBox *onceBox() const { return m_once; }

private:
    void kindChosen();

    const int m_unit;
    QComboBox *m_kind;
    QDoubleSpinBox *m_level;
    QDoubleSpinBox *m_pre;
    QDoubleSpinBox *m_post;
    QCheckBox *m_once;
};

#endif // TEVRANO_TRIGGERDIALOG_H
