#include "ui/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>

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

// "*.*" means every file where it comes from; on this platform it would hide names without an extension.
QString platformFilter(const QString& filter) {
    QString result = filter;
    static const QRegularExpression allFiles(QStringLiteral(R"((?<=[( ])\*\.\*(?=[ )]))"));
    result.replace(allFiles, QStringLiteral("*"));
    return result;
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
        QMessageBox::information(request.parent, request.title, request.text);
        break;
    case DialogKind::Critical:
        QMessageBox::critical(request.parent, request.title, request.text);
        break;
    case DialogKind::Question:
        reply.result = QMessageBox::question(request.parent, request.title, request.text,
                                             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        break;
    case DialogKind::OpenFile:
        reply.fileName =
            QFileDialog::getOpenFileName(request.parent, request.title, request.text, platformFilter(request.filter));
        break;
    case DialogKind::SaveFile:
        reply.fileName = QFileDialog::getSaveFileName(
            request.parent, request.title, request.text, platformFilter(request.filter), nullptr,
            request.confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite);
        break;
    case DialogKind::Exec:
        reply.result = request.dialog ? request.dialog->exec() : QDialog::Rejected;
        break;
    }
    return reply;
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
