#pragma once

#include <QEvent>
#include <QtGlobal>

class QObject;

namespace platform {

// The first window message number free for the program's own notifications.
constexpr unsigned kUserMessage = 0x400;

// A window message posted to a window object, delivered to its event() on
// the thread the object lives in.
class PostedMessageEvent : public QEvent {
public:
    PostedMessageEvent(unsigned message, quintptr wParam, qintptr lParam);

    // The event type, registered once for the process.
    static QEvent::Type type();

    unsigned message;
    quintptr wParam;
    qintptr lParam;
};

// Queues a message for window and returns at once; safe to call from any
// thread. Nothing is posted when window is null.
void postMessage(QObject* window, unsigned message, quintptr wParam, qintptr lParam);

// The posted message an event carries, or null. Receivers read posted events
// through this: it pairs with postMessage on an atomic, so the hand-over of
// the event is visible to ThreadSanitizer (Qt's own queue lock is not).
const PostedMessageEvent* postedMessageOf(const QEvent* event);

} // namespace platform
