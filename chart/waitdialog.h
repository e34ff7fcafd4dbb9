#ifndef TEVRANO_WAITDIALOG_H
#define TEVRANO_WAITDIALOG_H

#include <QDialog>

class QLabel;
class QProgressBar;

// Modal progress box of a record file operation. It has no title bar and
// ignores Escape and Return: only the end of the operation closes it.
class WaitDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WaitDialog(QWidget *parent = nullptr);

public slots:
    void Progress(int p);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QLabel *m_label;
    QProgressBar *m_progressBar;
};

#endif // TEVRANO_WAITDIALOG_H
