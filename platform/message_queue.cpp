#include "platform/message_queue.h"

#include <algorithm>
#include <deque>

namespace {
std::deque<Message>& pending() {
    static std::deque<Message> queue;
    return queue;
}
}  // namespace

namespace message_queue {

void post(const Message& message) {
    pending().push_back(message);
}

bool take(Message& message) {
    if (pending().empty()) {
        return false;
    }
    message = pending().front();
    pending().pop_front();
    return true;
}

void dropMessagesFor(WindowHandle window) {
    std::erase_if(pending(), [window](const Message& m) { return m.window == window; });
}

}  // namespace message_queue
