#pragma once

#include <QComboBox>
#include <QMouseEvent>

// A combo box that tells about every left-button press before it opens, so the owner can
// refill it with what is current.
class ClickComboBox : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton)
            emit clicked();
        QComboBox::mousePressEvent(event);
    }
};
