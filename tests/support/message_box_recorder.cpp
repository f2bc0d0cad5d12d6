#include "message_box_recorder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QtTest/QTest>

namespace {

const int PollIntervalMs = 20;

} // namespace

MessageBoxRecorder::MessageBoxRecorder(QObject *parent)
    : QObject(parent)
{
    m_poll.setInterval(PollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &MessageBoxRecorder::poll);
    arm();
}

MessageBoxRecorder::~MessageBoxRecorder() = default;

void MessageBoxRecorder::arm()
{
    m_poll.start();
}

void MessageBoxRecorder::disarm()
{
    m_poll.stop();
}

bool MessageBoxRecorder::isArmed() const
{
    return m_poll.isActive();
}

QList<RecordedBox> MessageBoxRecorder::boxes() const
{
    return m_boxes;
}

int MessageBoxRecorder::count() const
{
    return m_boxes.size();
}

bool MessageBoxRecorder::waitForBoxes(int count, int timeoutMs)
{
    return QTest::qWaitFor([this, count] { return m_boxes.size() >= count; }, timeoutMs);
}

void MessageBoxRecorder::clear()
{
    m_boxes.clear();
}

void MessageBoxRecorder::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_boxes.append(RecordedBox{box->icon(), box->windowTitle(), box->text(),
                               box->standardButtons(), box->parentWidget()});
    emit boxRecorded(m_boxes.size() - 1);
    closeAsUser(box);
}

void MessageBoxRecorder::closeAsUser(QMessageBox *box)
{
    QAbstractButton *button = box->button(QMessageBox::Ok);
    if (!button)
        button = box->escapeButton();
    if (!button && !box->buttons().isEmpty())
        button = box->buttons().constFirst();
    if (button)
        button->click();
    if (box->isVisible())
        box->done(QMessageBox::Cancel); // no button, or one that did not close it
}
