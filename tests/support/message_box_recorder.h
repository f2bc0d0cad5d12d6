#pragma once

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

struct RecordedBox
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QPointer<QWidget> parent;
};

// Answers modal message boxes for a test. While armed, it looks at the
// active modal widget every few milliseconds; a message box found there is
// recorded and closed as a user would, with its OK or escape button. The
// timer also fires inside the box's own event loop, so boxes opened deep in
// a nested call are handled too.
class MessageBoxRecorder : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxRecorder(QObject *parent = nullptr); // starts armed
    ~MessageBoxRecorder() override;

    void arm();
    void disarm();
    bool isArmed() const;

    QList<RecordedBox> boxes() const;
    int count() const;
    bool waitForBoxes(int count, int timeoutMs = 5000);
    void clear();

signals:
    void boxRecorded(int index);

private:
    void poll();
    static void closeAsUser(QMessageBox *box);

    QTimer m_poll;
    QList<RecordedBox> m_boxes;
};
