#include "TextBox.h"

#include <QMimeData>
#include <QTextDocument>

namespace velotan::app {

TextBox::TextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setTabChangesFocus(false);
}

QString TextBox::Text() const {
    // The raw text keeps what the user typed (no-break spaces included); only
    // the block separators become line breaks.
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return text;
}

void TextBox::SetText(const QString& text) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(u'\r', u'\n');
    setPlainText(plain);
}

void TextBox::insertFromMimeData(const QMimeData* source) {
    if (PasteHandler && source && source->hasText() && PasteHandler(source->text()))
        return;
    QPlainTextEdit::insertFromMimeData(source);
}

}  // namespace velotan::app
