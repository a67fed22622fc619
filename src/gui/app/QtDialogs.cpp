#include "QtDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>

#include "OleColor.h"

namespace velotan::app {
namespace {

using platform::MsgResult;
using platform::MsgStyle;

QWidget* ActiveParent() {
    return QApplication::activeWindow();
}

QMessageBox::Icon IconOf(int style) {
    switch (style & platform::kIconMask) {
        case MsgStyle::kCritical:
            return QMessageBox::Critical;
        case MsgStyle::kQuestion:
            return QMessageBox::Question;
        case MsgStyle::kExclamation:
            return QMessageBox::Warning;
        case MsgStyle::kInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

ButtonSet ButtonsOf(int style) {
    switch (style & platform::kButtonMask) {
        case MsgStyle::kOkCancel:
            return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok};
        case MsgStyle::kAbortRetryIgnore:
            return {QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
                    QMessageBox::Abort};
        case MsgStyle::kYesNoCancel:
            return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes};
        case MsgStyle::kYesNo:
            return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};
        case MsgStyle::kRetryCancel:
            return {QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry};
        default:
            return {QMessageBox::Ok, QMessageBox::Ok};
    }
}

MsgResult ResultOf(int button) {
    switch (button) {
        case QMessageBox::Cancel:
            return MsgResult::Cancel;
        case QMessageBox::Abort:
            return MsgResult::Abort;
        case QMessageBox::Retry:
            return MsgResult::Retry;
        case QMessageBox::Ignore:
            return MsgResult::Ignore;
        case QMessageBox::Yes:
            return MsgResult::Yes;
        case QMessageBox::No:
            return MsgResult::No;
        default:
            return MsgResult::Ok;
    }
}

QFileDialog::Options FileOptions() {
    // The common dialog chose no extension and asked no overwrite question.
    return QFileDialog::DontConfirmOverwrite;
}

}  // namespace

QString ToQtFilter(const QString& commonDialogFilter) {
    const QStringList parts = commonDialogFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString pattern = QString(parts[i + 1]).replace(u';', u' ');
        // Qt takes the patterns from the description's parentheses when they are there.
        if (description.contains(u'(' + pattern + u')')) {
            filters << description;
        } else {
            filters << description + QStringLiteral(" (") + pattern + u')';
        }
    }
    return filters.join(u";;");
}

std::unique_ptr<QMessageBox> MakeMessageBox(const QString& prompt, int style, const QString& title,
                                            QWidget* parent) {
    const ButtonSet set = ButtonsOf(style);
    auto box = std::make_unique<QMessageBox>(IconOf(style), title, QString(), set.buttons, parent);
    box->setTextFormat(Qt::PlainText);
    box->setText(prompt);
    box->setDefaultButton(set.defaultButton);
    box->setWindowModality(Qt::ApplicationModal);
    if (style & MsgStyle::kSystemModal) {
        box->setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    return box;
}

std::unique_ptr<QInputDialog> MakeInputDialog(const QString& prompt, const QString& title,
                                              const QString& defaultText, QWidget* parent) {
    auto dialog = std::make_unique<QInputDialog>(parent);
    dialog->setWindowTitle(title);
    dialog->setInputMode(QInputDialog::TextInput);
    dialog->setTextEchoMode(QLineEdit::Normal);
    dialog->setTextValue(defaultText);
    dialog->setLabelText(prompt);
    // QInputDialog has no format of its own: its label is the one QLabel.
    for (QLabel* label : dialog->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    return dialog;
}

MsgResult QtDialogs::MsgBox(const std::u16string& prompt, int style, const std::u16string& title) {
    const ButtonSet set = ButtonsOf(style);
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(
        QString::fromStdU16String(prompt), style, QString::fromStdU16String(title), ActiveParent());
    const int clicked = box->exec();
    if (clicked == QMessageBox::NoButton || clicked < 0) {
        // Closed by the window's own box: the same as the escape button.
        const bool canCancel = set.buttons.testFlag(QMessageBox::Cancel);
        return canCancel ? MsgResult::Cancel : ResultOf(set.defaultButton);
    }
    return ResultOf(clicked);
}

std::optional<QString> QtDialogs::InputBox(const QString& prompt, const QString& title,
                                           const QString& defaultText) {
    const std::unique_ptr<QInputDialog> dialog =
        MakeInputDialog(prompt, title, defaultText, ActiveParent());
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog->textValue();
}

QString QtDialogs::ShowOpen(const FileDialogRequest& request) {
    QString start = request.fileName.isEmpty() ? request.initialFolder : request.fileName;
    return QFileDialog::getOpenFileName(ActiveParent(), request.title, start,
                                        ToQtFilter(request.filter), nullptr, FileOptions());
}

QString QtDialogs::ShowSave(const FileDialogRequest& request) {
    QString start = request.fileName.isEmpty() ? request.initialFolder : request.fileName;
    return QFileDialog::getSaveFileName(ActiveParent(), request.title, start,
                                        ToQtFilter(request.filter), nullptr, FileOptions());
}

std::optional<FontChoice> QtDialogs::ShowFont(const FontChoice& initial) {
    QFont font(initial.name);
    font.setPointSizeF(initial.size > 0 ? initial.size : 9);
    font.setBold(initial.bold);
    font.setItalic(initial.italic);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, ActiveParent());
    if (!ok)
        return std::nullopt;
    FontChoice result = initial;
    result.name = chosen.family();
    result.size = chosen.pointSizeF();
    result.bold = chosen.bold();
    result.italic = chosen.italic();
    return result;
}

std::optional<int32_t> QtDialogs::ShowColor(int32_t initial) {
    const QColor chosen = QColorDialog::getColor(FromOleColor(initial), ActiveParent());
    if (!chosen.isValid())
        return std::nullopt;
    return ToOleColor(chosen);
}

}  // namespace velotan::app
