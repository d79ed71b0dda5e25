#include "platform/posted_message.h"

#include <QCoreApplication>

namespace platform {

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
    QCoreApplication::postEvent(window, new PostedMessageEvent(message, wParam, lParam));
}

} // namespace platform
