#ifndef TEVRANO_CHARTSETTINGSDIALOG_H
#define TEVRANO_CHARTSETTINGSDIALOG_H

#include <QDialog>

class QComboBox;
class QLabel;
class QSpinBox;

// Lets the user choose the sample limit (in thousands) and the sampling
// interval, shows the resulting duration and memory, and stores both choices
// ("ChartLineCache", "ChartLineFPS") through the chart's settings store when
// accepted. The caller then applies them: ChartWidget::applyChartSettings().
class ChartSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ChartSettingsDialog(QWidget *parent = nullptr);

public slots:
    void on_buttonBox_accepted();
    void on_buttonBox_rejected();
    void on_spinBox_caches_valueChanged(int value);
    void on_comboBox_fps_currentIndexChanged(int index);

private:
    int samples() const;
    void showCapacity();

    QSpinBox *m_caches;
    QComboBox *m_intervals;
    QLabel *m_duration;
    QLabel *m_memory;
};

#endif // TEVRANO_CHARTSETTINGSDIALOG_H
