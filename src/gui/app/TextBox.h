#pragma once
// The editor: a multi-line text box whose text property speaks CR LF, as the
// text box it replaces did, so counts, encryption and the texts users
// exchange are the same on every platform.

#include <QPlainTextEdit>
#include <functional>
#include <string>

namespace velotan::app {

class TextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit TextBox(QWidget* parent = nullptr);

    // The text with CR LF line breaks.
    QString Text() const;
    std::u16string Text16() const { return Text().toStdU16String(); }
    // Accepts CR LF, LF or a lone CR as a line break.
    void SetText(const QString& text);
    void SetText16(const std::u16string& text) { SetText(QString::fromStdU16String(text)); }

    // Sees the text of every paste or drop first; when it returns true it
    // has dealt with the text, and the box inserts nothing itself.
    std::function<bool(const QString& text)> PasteHandler;

  protected:
    void insertFromMimeData(const QMimeData* source) override;
};

}  // namespace velotan::app
