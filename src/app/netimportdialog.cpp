#include "app/netimportdialog.h"

#include "data/atomicfile.h"
#include "data/database.h"
#include "data/error.h"
#include "data/settingsfile.h"
#include "netimport/netimport.h"
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
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace tabi {

namespace {

const QString kTitle = QStringLiteral("全国路線データの取り込み");
const QString kSection = QStringLiteral("NetImport");

QString reportText(const net::ImportResult& r, bool preview) {
    QStringList lines;
    lines << QStringLiteral("駅データ: %1").arg(QDir::toNativeSeparators(r.folder));
    lines << (preview ? QStringLiteral("取り込むと次のようになります。") : QStringLiteral("取り込みました。"));
    lines << r.summary();
    if (!r.report.isEmpty()) {
        lines << QString() << QStringLiteral("報告（%1 件）:").arg(r.report.size());
        lines << r.report;
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

void runNetworkImport(QWidget* parent) {
    TNetImportDialog ask(parent);
    const QString last = settings::readString(kSection, QStringLiteral("Folder"), QStringLiteral("Failure"));
    if (last != QLatin1String("Failure"))
        ask.setFolder(last);
    if (ui::execDialog(ask) != QDialog::Accepted || ask.folder().isEmpty())
        return;
    net::SourceLayout layout;
    std::shared_ptr<Database> db;
    net::ImportResult preview;
    const bool previewed = ui::runCommand(parent, [&] {
        layout = net::resolveSource(QDir::fromNativeSeparators(ask.folder()), ask.withAbolished());
        settings::writeString(kSection, QStringLiteral("Folder"), ask.folder());
        db = Database::open(DbKind::Reference);
        net::ImportOptions dry;
        dry.dryRun = true;
        preview = net::importNetwork(*db, layout, dry);
    });
    if (!previewed)
        return;
    QString question =
        QStringLiteral("%1\n\n取り込みますか？（取り込む前に参照データベースの控えを作ります）").arg(preview.summary());
    if (!preview.report.isEmpty())
        question += QStringLiteral("\n報告 %1 件は取り込み後の報告で確かめられます。").arg(preview.report.size());
    if (!ui::question(parent, kTitle, question))
        return;

    QProgressDialog progress(QStringLiteral("路線と駅を取り込んでいます…"), QString(), 0, 100, parent);
    progress.setObjectName(QStringLiteral("NetImportProgress"));
    progress.setWindowTitle(kTitle);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    net::ImportResult result;
    net::ImportOptions options;
    options.progress = [&](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
    };
    const bool imported = ui::runCommand(parent, [&] { result = net::importNetwork(*db, layout, options); });
    progress.reset();
    if (!imported)
        return;
    TNetImportReport report(reportText(result, false), parent);
    ui::execDialog(report);
}

} // namespace tabi
