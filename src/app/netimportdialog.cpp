#include "app/netimportdialog.h"

#include "app/importchild.h"

#include "data/atomicfile.h"
#include "data/error.h"
#include "data/settingsfile.h"
#include "ui/command.h"
#include "ui/dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tabi {

namespace {

const QString kTitle = QStringLiteral("全国路線データの取り込み");
const QString kSection = QStringLiteral("NetImport");

// The child's lines: where it read and wrote, the report lines, the counts and the time.
QString reportText(const QString& folder, const ChildOutcome& r) {
    QStringList lines;
    lines << QStringLiteral("駅データ: %1").arg(QDir::toNativeSeparators(folder));
    lines << QStringLiteral("取り込みました。");
    lines << r.facts.value(QStringLiteral("summary")).split(QLatin1Char('\t'));
    if (!r.text.isEmpty()) {
        lines << QString() << QStringLiteral("報告（%1 件）:").arg(r.text.size());
        lines << r.text;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

TNetImportDialog::TNetImportDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NetImportDialog"));
    setWindowTitle(kTitle);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("公開の駅データ（station_database）を置いたフォルダを指定してください。\n"
                                            "クローンしたフォルダ、または main・extra・src のあるフォルダです。"),
                             this);
    layout->addWidget(intro);
    auto* row = new QHBoxLayout;
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("EditFolder"));
    m_folder->setMinimumWidth(420);
    auto* browse = new QPushButton(QStringLiteral("参照(&B)..."), this);
    browse->setObjectName(QStringLiteral("ButtonBrowse"));
    connect(browse, &QPushButton::clicked, this, &TNetImportDialog::browse);
    row->addWidget(m_folder);
    row->addWidget(browse);
    layout->addLayout(row);
    m_abolished = new QCheckBox(QStringLiteral("廃止された路線も取り込む(&A)（extra フォルダ）"), this);
    m_abolished->setObjectName(QStringLiteral("CheckAbolished"));
    layout->addWidget(m_abolished);
    m_straight = new QCheckBox(
        QStringLiteral("線路の形（polyline フォルダ）がなくても、駅の間を直線で測って取り込む(&L)"), this);
    m_straight->setObjectName(QStringLiteral("CheckStraightLines"));
    m_straight->setToolTip(QStringLiteral("路線の長さと駅のキロ程が実際より短くなります。線路の形のある完全な駅データ"
                                          "がないときだけ使ってください。"));
    layout->addWidget(m_straight);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("内容の確認(&P)"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ButtonPreview"));
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString TNetImportDialog::folder() const {
    return m_folder->text().trimmed();
}
void TNetImportDialog::setFolder(const QString& folder) {
    m_folder->setText(folder);
}
bool TNetImportDialog::withAbolished() const {
    return m_abolished->isChecked();
}
bool TNetImportDialog::straightLines() const {
    return m_straight->isChecked();
}

void TNetImportDialog::browse() {
    QFileDialog dialog(this, QStringLiteral("駅データのフォルダ"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (!folder().isEmpty())
        dialog.setDirectory(folder());
    if (ui::execDialog(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_folder->setText(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

TNetImportReport::TNetImportReport(const QString& text, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("NetImportReport"));
    setWindowTitle(kTitle);
    resize(760, 480);
    auto* layout = new QVBoxLayout(this);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("MemoReport"));
    m_text->setReadOnly(true);
    m_text->setPlainText(text);
    layout->addWidget(m_text);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(QStringLiteral("保存(&S)..."), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("ButtonSave"));
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる(&C)"), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(save, &QPushButton::clicked, this, &TNetImportReport::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString TNetImportReport::text() const {
    return m_text->toPlainText();
}

void TNetImportReport::save() {
    const QString file =
        ui::getSaveFileName(this, QStringLiteral("取り込みの報告の保存"), QStringLiteral("テキストファイル (*.txt)"),
                            QStringLiteral("network-import.txt"));
    if (file.isEmpty())
        return;
    ui::runCommand(this, [&] { files::replaceFile(file, text().toUtf8() + '\n', QStringLiteral("報告ファイル")); });
}

bool runNetworkImport(QWidget* parent) {
    TNetImportDialog ask(parent);
    const QString last = settings::readString(kSection, QStringLiteral("Folder"), QStringLiteral("Failure"));
    if (last != QLatin1String("Failure"))
        ask.setFolder(last);
    if (ui::execDialog(ask) != QDialog::Accepted || ask.folder().isEmpty())
        return false;
    const QString folder = QDir::fromNativeSeparators(ask.folder());
    ui::runCommand(parent, [&] { settings::writeString(kSection, QStringLiteral("Folder"), ask.folder()); });
    QStringList args = {QStringLiteral("--import-network"), folder};
    if (ask.withAbolished())
        args << QStringLiteral("--with-abolished");
    if (ask.straightLines())
        args << QStringLiteral("--straight-lines");

    // The data set is read in a child process: a damaged copy can neither freeze nor take down the window.
    ChildRun previewRun;
    previewRun.arguments = args + QStringList{QStringLiteral("--preview")};
    previewRun.subject = QDir::toNativeSeparators(folder);
    previewRun.title = kTitle;
    previewRun.label = QStringLiteral("駅データを読んでいます…");
    previewRun.progressObject = QStringLiteral("NetPreviewProgress");
    const ChildOutcome preview = runImportChild(parent, previewRun);
    if (preview.end == ChildOutcome::End::Cancelled)
        return false;
    if (preview.end != ChildOutcome::End::Done) {
        ui::showCommandError(parent, preview.failureMessage());
        return false;
    }
    const QString summary =
        preview.facts.value(QStringLiteral("summary")).replace(QLatin1Char('\t'), QLatin1Char('\n'));
    const int reports = preview.facts.value(QStringLiteral("reports")).toInt();
    QString question =
        QStringLiteral("%1\n\n取り込みますか？（取り込む前に参照データベースの控えを作ります）").arg(summary);
    if (reports > 0)
        question += QStringLiteral("\n報告 %1 件は取り込み後の報告で確かめられます。").arg(reports);
    if (!ui::question(parent, kTitle, question))
        return false;

    ChildRun importRun = previewRun;
    importRun.arguments = args;
    importRun.label = QStringLiteral("路線と駅を取り込んでいます…");
    importRun.progressObject = QStringLiteral("NetImportProgress");
    const ChildOutcome result = runImportChild(parent, importRun);
    if (result.end == ChildOutcome::End::Cancelled) {
        ui::information(parent, kTitle, result.failureMessage());
        return true;
    }
    if (result.end != ChildOutcome::End::Done) {
        ui::showCommandError(parent, result.failureMessage());
        return true;
    }
    TNetImportReport report(reportText(folder, result), parent);
    ui::execDialog(report);
    return true;
}

} // namespace tabi
