#ifndef TEVRANO_SWITCHBUTTON_H
#define TEVRANO_SWITCHBUTTON_H

#include <QString>
#include <QWidget>

// An on/off toggle: a rounded track with a knob and the text of the current
// state. The user toggles it with a click or the Space key.
class SwitchButton : public QWidget
{
    Q_OBJECT

public:
    explicit SwitchButton(QWidget *parent = nullptr);

    void setTextOn(const QString &text);
    void setTextOff(const QString &text);
    // The text painted for the current state.
    QString currentText() const;

    bool isChecked() const { return m_checked; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // Only a user toggle emits checkedChanged; setChecked stays silent.
    void setChecked(bool checked);

signals:
    void checkedChanged(bool checked);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void toggleByUser();

    bool m_checked = false;
    // Set by a left press inside; a release only toggles after such a press.
    bool m_pressed = false;
    QString m_textOn;
    QString m_textOff;
};

#endif // TEVRANO_SWITCHBUTTON_H
