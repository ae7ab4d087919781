#include "desktop/message_box.h"

#include <QApplication>
#include <QMessageBox>

namespace {

MsgBoxHandler& Handler() {
    static MsgBoxHandler handler;
    return handler;
}

QMessageBox::Icon IconOf(int style) {
    switch (style & 0x70) {
        case kMsgBoxCritical:
            return QMessageBox::Critical;
        case kMsgBoxQuestion:
            return QMessageBox::Question;
        case kMsgBoxExclamation:
            return QMessageBox::Warning;
        case kMsgBoxInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int MsgBox(const QString& text, int style, const QString& title) {
    if (Handler()) return Handler()(text, style, title);
    QMessageBox box(IconOf(style), title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
    return kMsgBoxResultOk;
}

void SetMsgBoxHandler(MsgBoxHandler handler) {
    Handler() = std::move(handler);
}
