#ifndef TEVRANO_ZOOMSCALE_H
#define TEVRANO_ZOOMSCALE_H

#include <QWidget>

class QPushButton;

// Frameless popup with a zoom-in and a zoom-out button. It announces its end
// (dismissed) 5 s after it was opened or last clicked; the chart then deletes it.
class ZoomScale : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kLifetimeMs = 5000;

    explicit ZoomScale(QWidget *parent = nullptr);

signals:
    void zoomInClicked();
    void zoomOutClicked();
    void dismissed();

public slots:
    void on_pushButton_zoomin_clicked();
    void on_pushButton_zoomout_clicked();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void restartLifetime();

    int m_timerId = 0;
};

#endif // TEVRANO_ZOOMSCALE_H
