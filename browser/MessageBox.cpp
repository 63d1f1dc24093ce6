#include "browser/MessageBox.h"

#include "resources/Strings.h"

#include <QMessageBox>

namespace knetix {

namespace {

MessageHandler& handler()
{
    static MessageHandler current;
    return current;
}

} // namespace

bool showMessage(QWidget* parent, const QString& text, MessageKind kind)
{
    if (handler())
        return handler()(parent, text, kind);
    const QString title = QString::fromUtf8(loadString(IDS_TITLE));
    switch (kind) {
    case MessageKind::Question:
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    case MessageKind::Warning:
        QMessageBox::warning(parent, title, text);
        return true;
    case MessageKind::Information:
        QMessageBox::information(parent, title, text);
        return true;
    }
    return true;
}

MessageHandler setMessageHandler(MessageHandler next)
{
    return std::exchange(handler(), std::move(next));
}

} // namespace knetix
