#include "ui/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTreeView>

namespace tabi::ui {

namespace {

DialogHandler& currentHandler() {
    static DialogHandler handler;
    return handler;
}

DialogReply dispatch(const DialogRequest& request) {
    if (const DialogHandler& handler = currentHandler())
        return handler(request);
    return showRealDialog(request);
}

// "*.*" means every file where the filter texts come from; here it would hide names without an extension.
QStringList listedPatterns(const QString& filter) {
    QStringList patterns;
    static const QRegularExpression inParens(QStringLiteral(R"(\(([^()]*)\)\s*$)"));
    const QRegularExpressionMatch m = inParens.match(filter);
    const QString list = m.hasMatch() ? m.captured(1) : filter;
    for (const QString& p : list.split(QRegularExpression(QStringLiteral("[ ;]+")), Qt::SkipEmptyParts))
        patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    return patterns;
}

QLabel* messageLabel(QMessageBox& box) {
    return box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
}

int runMessageBox(const DialogRequest& request, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, request.title, request.text, buttons, request.parent);
    prepareMessageBox(box);
    return box.exec();
}

int runChoiceBox(const DialogRequest& request) {
    QMessageBox box(QMessageBox::Question, request.title, request.text, QMessageBox::NoButton, request.parent);
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < request.choices.size(); ++i) {
        QPushButton* b = box.addButton(request.choices[i], QMessageBox::ActionRole);
        buttons.append(b);
        if (i == request.defaultChoice)
            box.setDefaultButton(b);
    }
    // Esc closes the box without a choice.
    QPushButton* escape = box.addButton(QMessageBox::Cancel);
    escape->hide();
    box.setEscapeButton(escape);
    prepareMessageBox(box);
    box.exec();
    return int(buttons.indexOf(box.clickedButton()));
}

QString runFileDialog(const DialogRequest& request, bool save) {
    QFileDialog dialog(request.parent, request.title);
    prepareFileDialog(dialog, request.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save && !request.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.text.isEmpty()) {
        const QFileInfo proposed(request.text);
        if (proposed.isDir()) {
            dialog.setDirectory(proposed.absoluteFilePath());
        } else {
            dialog.setDirectory(proposed.absolutePath());
            dialog.selectFile(proposed.fileName());
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace

DialogHandler setDialogHandler(DialogHandler handler) {
    DialogHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

DialogReply showRealDialog(const DialogRequest& request) {
    DialogReply reply;
    switch (request.kind) {
    case DialogKind::Information:
        runMessageBox(request, QMessageBox::Information, QMessageBox::Ok);
        break;
    case DialogKind::Critical:
        runMessageBox(request, QMessageBox::Critical, QMessageBox::Ok);
        break;
    case DialogKind::Question:
        reply.result =
            runMessageBox(request, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        break;
    case DialogKind::Choice:
        reply.result = runChoiceBox(request);
        break;
    case DialogKind::OpenFile:
        reply.fileName = runFileDialog(request, false);
        break;
    case DialogKind::SaveFile:
        reply.fileName = runFileDialog(request, true);
        break;
    case DialogKind::Exec:
        reply.result = request.dialog ? request.dialog->exec() : QDialog::Rejected;
        break;
    }
    return reply;
}

QString keepQuotedWhole(const QString& text) {
    // A word joiner between the characters of a quoted name forbids a break there; it takes no room.
    static const QRegularExpression quoted(QStringLiteral("「[^「」\\n]+」|\"[^\"\\n]+\""));
    QString result;
    qsizetype from = 0;
    for (auto it = quoted.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result += QStringView(text).mid(from, m.capturedStart() - from);
        const QString name = m.captured();
        for (qsizetype i = 0; i < name.size(); ++i) {
            result += name.at(i);
            if (i + 1 < name.size() && !name.at(i).isHighSurrogate())
                result += QChar(0x2060);
        }
        from = m.capturedEnd();
    }
    result += QStringView(text).mid(from);
    return result;
}

void prepareMessageBox(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    QLabel* label = messageLabel(box);
    if (!label)
        return;
    label->setText(keepQuotedWhole(box.text()));
    // The box keeps below its own hard limit (beyond it Qt breaks lines anywhere): the screen less room for
    // the icon, the margins and a border of desktop.
    const QScreen* screen = box.screen() ? box.screen() : QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
    const int hardLimit = screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000);
    const int room = std::max(200, hardLimit - 160);
    const QFontMetrics metrics(label->font());
    int widest = 0;
    for (const QString& line : label->text().split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line) + 4);
    label->setMinimumWidth(std::min(widest, room));
}

namespace {
// Names a folder in Japanese too, where Qt's translations leave the word in English.
class JapaneseIconProvider : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        return info.isDir() && !info.isRoot() ? QStringLiteral("フォルダー") : QFileIconProvider::type(info);
    }
};
} // namespace

void prepareFileDialog(QFileDialog& dialog, const QString& filter) {
    // Qt's own dialog, not the desktop's: it speaks the program's language and keeps the filter texts.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    static JapaneseIconProvider icons;
    dialog.setIconProvider(&icons);
    // Sizes, types and dates in a Japanese face need more room than Qt's default columns give them.
    dialog.resize(dialog.size().expandedTo(QSize(820, 480)));
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        for (int column = 1; column < details->header()->count(); ++column)
            details->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    if (!filter.isEmpty())
        dialog.setNameFilter(filter);
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!model)
        return;
    // The dialog turns the chosen filter into name patterns each time one is chosen; "*.*" is widened after it.
    auto widen = [model](const QString& chosen) {
        if (chosen.contains(QLatin1String("*.*")))
            model->setNameFilters(listedPatterns(chosen));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, model, widen);
    widen(dialog.selectedNameFilter());
}

void information(QWidget* parent, const QString& title, const QString& text) {
    dispatch({DialogKind::Information, parent, title, text, {}, nullptr, {}});
}

void critical(QWidget* parent, const QString& title, const QString& text) {
    dispatch({DialogKind::Critical, parent, title, text, {}, nullptr, {}});
}

bool question(QWidget* parent, const QString& title, const QString& text) {
    return dispatch({DialogKind::Question, parent, title, text, {}, nullptr, {}}).result != 0;
}

int choose(QWidget* parent, const QString& title, const QString& text, const QStringList& choices, int defaultChoice) {
    DialogRequest request{DialogKind::Choice, parent, title, text, {}, nullptr, {}};
    request.choices = choices;
    request.defaultChoice = defaultChoice;
    return dispatch(request).result;
}

QString getOpenFileName(QWidget* parent, const QString& caption, const QString& filter, const QString& directory) {
    return dispatch({DialogKind::OpenFile, parent, caption, directory, filter, nullptr, {}}).fileName;
}

QString getSaveFileName(QWidget* parent, const QString& caption, const QString& filter, const QString& proposedFile) {
    return dispatch({DialogKind::SaveFile, parent, caption, proposedFile, filter, nullptr, {}}).fileName;
}

QString getSaveFileNameReplacing(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& defaultSuffix, const QString& proposedFile) {
    DialogRequest request{DialogKind::SaveFile, parent, caption, proposedFile, filter, nullptr, {}};
    request.confirmOverwrite = false;
    QString name = dispatch(request).fileName;
    if (!name.isEmpty() && !defaultSuffix.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += u'.' + defaultSuffix;
    return name;
}

int execDialog(QDialog& dialog) {
    return dispatch({DialogKind::Exec,
                     dialog.parentWidget(),
                     dialog.windowTitle(),
                     {},
                     {},
                     &dialog,
                     QString::fromLatin1(dialog.metaObject()->className())})
        .result;
}

} // namespace tabi::ui
