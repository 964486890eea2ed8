#include "photos/tfiles.h"

#include "photos/photoaudit.h"
#include "photos/photoseries.h"
#include "ui/dbgrid.h"
#include "ui/screenkit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace tabi::photos {

namespace {

// The picture of the scan area: a photo's outline (sky, hill, sun). Only the headers of the files are read, so
// no photo of the folder is decoded to be shown here.
QPixmap scanPicture() {
    QImage image(51, 27, QImage::Format_RGB32);
    image.fill(QColor(0x9C, 0xCF, 0xF0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3A, 0x8F, 0x3A));
    p.drawEllipse(QRectF(-10, 14, 48, 30));
    p.setBrush(QColor(0x2E, 0x6E, 0x2E));
    p.drawEllipse(QRectF(22, 17, 40, 24));
    p.setBrush(QColor(0xFF, 0xD0, 0x30));
    p.drawEllipse(QRectF(36, 3, 8, 8));
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace

TFiles::TFiles(QWidget* parent)
    : CheckListScreen(QStringLiteral("TFiles"), QStringLiteral("CFM_FILES"), QStringLiteral("FILE_NAME"), parent) {
    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setFixedSize(51, 27);
    m_image->setScaledContents(true);
    m_image->setPixmap(scanPicture());
    m_image->hide();
    topBar()->addWidget(m_image);

    // The marks of a route missing from the route table show whole.
    for (const char* field : {"ROSEN_KANJI", "SHOZOKU"})
        grid()->fitColumnTo(QString::fromLatin1(field), QStringLiteral("■■■■■■■■■■"));

    auto ref = m_ref;
    addStep("BitBtnZ", QStringLiteral("全消(&Z)"), Busy | GridHidden, [=] { clearPhotoFileList(ref); });
    connect(addButton("BitBtnF", QStringLiteral("ﾌｧｲﾙ(&F)")), &QPushButton::clicked, this, &TFiles::scanCommand);
    addStep("BitBtnR", QStringLiteral("路線(&R)"), Busy, [=] { completePhotoFileList(ref); });
    addStep("BitBtnX", QStringLiteral("抽出(&X)"), Busy | GridHidden, [=] { keepRemarkedPhotoFiles(ref); });
    finishButtons();
}

void TFiles::scanCommand() {
    // No wait cursor: the image area says that a scan runs.
    auto ref = m_ref;
    runStep(0, [&] {
        m_image->show();
        m_image->repaint();
        struct HideAfter {
            QLabel* label;
            ~HideAfter() { label->hide(); }
        } hideAfter{m_image};
        scanPhotoFolder(ref, readFolder(QStringLiteral("PhotoPath")));
    });
}

} // namespace tabi::photos
