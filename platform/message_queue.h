#pragma once

#include "platform/messages.h"

// The one thread's message queue, shared by the parts of platform/; the app
// reaches it through window_system.h. Needs no display.
namespace message_queue {
void post(const Message& message);
// Takes the oldest message; false when the queue is empty.
bool take(Message& message);
// Forgets every queued message addressed to `window` (it is being destroyed).
void dropMessagesFor(WindowHandle window);
}  // namespace message_queue
