#pragma once
// The program's message boxes: German texts and buttons with the program's
// title. Tests put a handler in place so that no box ever waits for a click.

#include <QString>

#include <functional>

class QWidget;

namespace knetix {

enum class MessageKind {
    Information,
    Warning,     // exclamation icon, OK
    Question,    // Yes and No
    Error,       // error icon, OK
    Notice,      // question icon, OK only
    YesNoCancel, // question icon, Yes, No and Cancel
};

enum class Answer { Cancel = -1, No = 0, Yes = 1 };

// The answer: 1 for OK and Yes, 0 for No, -1 for Cancel. A handler that
// returns a bool answers with 1 or 0.
using MessageHandler = std::function<int(QWidget* parent, const QString& text, MessageKind kind)>;

// True for OK and Yes.
bool showMessage(QWidget* parent, const QString& text, MessageKind kind);
// Yes, No or Cancel; closing the box is Cancel.
Answer askYesNoCancel(QWidget* parent, const QString& text);

// Replaces the boxes; an empty handler brings them back. Returns the previous one.
MessageHandler setMessageHandler(MessageHandler handler);

} // namespace knetix
