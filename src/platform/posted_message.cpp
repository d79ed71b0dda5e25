#include "platform/posted_message.h"

#include <QCoreApplication>

#include <atomic>

namespace platform {

namespace {
// Every post is a release on this counter and every receipt an acquire, so
// what the poster wrote before posting happens-before the receiver's reads.
std::atomic<unsigned long> g_posts{0};
} // namespace

PostedMessageEvent::PostedMessageEvent(unsigned message, quintptr wParam, qintptr lParam)
    : QEvent(type()), message(message), wParam(wParam), lParam(lParam) {}

QEvent::Type PostedMessageEvent::type() {
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

void postMessage(QObject* window, unsigned message, quintptr wParam, qintptr lParam) {
    if (window == nullptr) {
        return;
    }
    auto* event = new PostedMessageEvent(message, wParam, lParam);
    g_posts.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(window, event);
}

const PostedMessageEvent* postedMessageOf(const QEvent* event) {
    (void)g_posts.load(std::memory_order_acquire);
    if (event == nullptr || event->type() != PostedMessageEvent::type())
        return nullptr;
    return static_cast<const PostedMessageEvent*>(event);
}

} // namespace platform
