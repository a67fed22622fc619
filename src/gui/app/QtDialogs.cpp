#include "QtDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
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

// The second of a set's buttons in the order they are shown.
QMessageBox::StandardButton SecondButton(QMessageBox::StandardButtons buttons) {
    int seen = 0;
    for (const QMessageBox::StandardButton b :
         {QMessageBox::Ok, QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore,
          QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
        if (buttons.testFlag(b) && ++seen == 2)
            return b;
    }
    return QMessageBox::NoButton;
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

MsgResult QtDialogs::MsgBox(const std::u16string& prompt, int style, const std::u16string& title) {
    ButtonSet set = ButtonsOf(style);
    if (style & MsgStyle::kDefaultButton2) {
        if (const auto second = SecondButton(set.buttons); second != QMessageBox::NoButton)
            set.defaultButton = second;
    }
    QMessageBox box(IconOf(style), QString::fromStdU16String(title),
                    QString::fromStdU16String(prompt), set.buttons, ActiveParent());
    box.setDefaultButton(set.defaultButton);
    box.setWindowModality(Qt::ApplicationModal);
    if (style & MsgStyle::kSystemModal) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    const int clicked = box.exec();
    if (clicked == QMessageBox::NoButton || clicked < 0) {
        // Closed by the window's own box: the same as the escape button.
        const bool canCancel = set.buttons.testFlag(QMessageBox::Cancel);
        return canCancel ? MsgResult::Cancel : ResultOf(set.defaultButton);
    }
    return ResultOf(clicked);
}

std::optional<QString> QtDialogs::InputBox(const QString& prompt, const QString& title,
                                           const QString& defaultText) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(ActiveParent(), title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
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
