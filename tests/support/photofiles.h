#pragma once

#include "data/settingsfile.h"
#include "support/tempenv.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtGlobal>
#include <memory>

namespace tabi::test {

// A plain JPEG photo of the given size, written with Qt's own encoder.
inline void writeJpeg(const QString& path, QSize size = QSize(420, 280)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    if (!image.save(path, "JPG"))
        qFatal("cannot write %s", qPrintable(path));
}

// A file of exactly these bytes (a description in its stored encoding, a damaged photo).
inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Base for a photo test class: each test function gets a fresh temporary environment with a photo folder and a
// description folder (m_photos, m_docs) that the settings name as the routes' PhotoPath and DocPath.
class TempPhotoFolders {
protected:
    void makePhotoFolders() {
        m_env = std::make_unique<TempEnv>();
        m_photos = m_env->file(QStringLiteral("photo/"));
        m_docs = m_env->file(QStringLiteral("doc/"));
        QDir().mkpath(m_photos);
        QDir().mkpath(m_docs);
        settings::writeString(QStringLiteral("Path"), QStringLiteral("PhotoPath"), m_photos);
        settings::writeString(QStringLiteral("Path"), QStringLiteral("DocPath"), m_docs);
    }
    void removePhotoFolders() { m_env.reset(); }

    std::unique_ptr<TempEnv> m_env;
    QString m_photos, m_docs;
};

} // namespace tabi::test
