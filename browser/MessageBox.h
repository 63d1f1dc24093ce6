#pragma once
// The browser's message boxes: German texts with the program's title. Tests put
// a handler in place so that no box ever waits for a click.

#include <QString>

#include <functional>

class QWidget;

namespace knetix {

enum class MessageKind { Information, Warning, Question };

// The answer is true for OK and Yes, false for No.
using MessageHandler = std::function<bool(QWidget* parent, const QString& text, MessageKind kind)>;

bool showMessage(QWidget* parent, const QString& text, MessageKind kind);

// Replaces the boxes; an empty handler brings them back. Returns the previous one.
MessageHandler setMessageHandler(MessageHandler handler);

} // namespace knetix
