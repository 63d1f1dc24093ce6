#include "browser/MessageBox.h"

#include "resources/Strings.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace knetix {

namespace {

MessageHandler& handler()
{
    static MessageHandler current;
    return current;
}

int ask(QWidget* parent, const QString& text, MessageKind kind)
{
    if (handler())
        return handler()(parent, text, kind);

    QMessageBox box(parent);
    box.setWindowTitle(QString::fromUtf8(loadString(IDS_TITLE)));
    box.setText(text);
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (kind) {
    case MessageKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MessageKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageKind::Notice:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageKind::Question:
        box.setIcon(QMessageBox::Question);
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case MessageKind::YesNoCancel:
        box.setIcon(QMessageBox::Question);
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    box.setStandardButtons(buttons);
    // German buttons whether or not Qt's own translations are installed.
    const std::pair<QMessageBox::StandardButton, const char*> texts[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Yes, "&Ja"}, {QMessageBox::No, "&Nein"},
        {QMessageBox::Cancel, "Abbrechen"}};
    for (const auto& [which, label] : texts)
        if (QAbstractButton* b = box.button(which))
            b->setText(QString::fromUtf8(label));
    if (kind == MessageKind::YesNoCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
    case QMessageBox::Ok:
        return 1;
    case QMessageBox::No:
        return 0;
    default:
        return kind == MessageKind::Question ? 0 : -1;
    }
}

} // namespace

bool showMessage(QWidget* parent, const QString& text, MessageKind kind)
{
    return ask(parent, text, kind) > 0;
}

Answer askYesNoCancel(QWidget* parent, const QString& text)
{
    const int answer = ask(parent, text, MessageKind::YesNoCancel);
    return answer > 0 ? Answer::Yes : answer == 0 ? Answer::No : Answer::Cancel;
}

MessageHandler setMessageHandler(MessageHandler next)
{
    return std::exchange(handler(), std::move(next));
}

} // namespace knetix
