#ifndef TEVRANO_WAITDIALOG_H
#define TEVRANO_WAITDIALOG_H

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// Modal progress box of a record file operation. It has no title bar and
// ignores Escape and Return: only the end of the operation closes it. A cancellable one has a
// Cancel button that asks the operation to stop; the box still waits for its end.
class WaitDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WaitDialog(QWidget *parent = nullptr);

    void setCancellable(bool cancellable);

signals:
    void cancelRequested();

public slots:
    void Progress(int p);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QLabel *m_label;
    QProgressBar *m_progressBar;
    QPushButton *m_cancel;
};

#endif // TEVRANO_WAITDIALOG_H
