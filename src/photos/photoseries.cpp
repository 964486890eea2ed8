#include "photos/photoseries.h"

#include "data/error.h"
#include "data/settingsfile.h"
#include "photos/jpegdecoder.h"

#include <QFile>
#include <QFileInfo>

namespace tabi::photos {

namespace {

const QString kFailure = QStringLiteral("Failure");
const QString kFirst = QStringLiteral("00");

// Null when the file cannot be opened, which is a normal absence rather than an error.
std::optional<QByteArray> readIfPresent(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// A placeholder must be there: its absence is reported like any file that cannot be opened.
QByteArray readPlaceholder(const QString& named) {
    const QString path = existingFile(named);
    QFile file(path.isEmpty() ? named : path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
    return file.readAll();
}

} // namespace

QString readFolder(const QString& key) {
    const QString folder = settings::readString(QStringLiteral("Path"), key, kFailure);
    return folder == kFailure ? QString() : folder;
}

QString stepNumber(const QString& number, int k) {
    const QString text = QStringLiteral("%1").arg(number.toInt() + k, 2).left(2);
    return text.startsWith(QLatin1Char(' ')) ? QLatin1Char('0') + text.mid(1) : text;
}

bool stepStaysInRange(const QString& number, int k) {
    const int value = number.toInt() + k;
    return value >= 0 && value <= 99;
}

QString photoFileName(const QString& folder, const QString& code, const QString& number) {
    return folder + code + number + QStringLiteral(".JPG");
}

QString descriptionFileName(const QString& folder, const QString& code, const QString& number) {
    return folder + code + number + QStringLiteral(".TXT");
}

QString existingFile(const QString& path) {
    if (QFileInfo(path).isFile())
        return path;
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        const QString lower = path.left(dot) + path.mid(dot).toLower();
        if (lower != path && QFileInfo(lower).isFile())
            return lower;
    }
    return {};
}

void PhotoSeries::start(const QString& code) {
    m_code = code;
    m_number = kFirst;
    loadPhotoFile();
    changeButtonProperty();
}

void PhotoSeries::loadPhotoFile() {
    const QString photoFolder = readFolder(m_keys.photoKey);
    const QString docFolder = readFolder(m_keys.docKey);

    m_buttons.save = m_buttons.next = m_buttons.prior = m_buttons.first = true;
    m_imageVisible = true;
    m_image = QImage();

    const QString photoPath = existingFile(photoFileName(photoFolder, m_code, m_number));
    if (const auto bytes = readIfPresent(photoPath)) {
        m_image = decodeJpeg(*bytes, photoPath);
        m_infoLine = QStringLiteral("File name: %1  Width: %2  Height: %3")
                         .arg(QFileInfo(photoPath).fileName())
                         .arg(m_image.width())
                         .arg(m_image.height());
    } else if (m_placeholders) {
        const QString placeholder = photoFolder + kPlaceholderName + QStringLiteral(".JPG");
        m_image = decodeJpeg(readPlaceholder(placeholder), placeholder);
        m_infoLine = kImageNotFound;
        m_buttons.save = m_buttons.next = m_buttons.prior = false;
    } else {
        m_imageVisible = false;
        m_infoLine = kImageNotFound;
        m_buttons.save = m_buttons.next = m_buttons.prior = false;
    }

    m_descriptionMissing = false;
    std::optional<QByteArray> description =
        readIfPresent(existingFile(descriptionFileName(docFolder, m_code, m_number)));
    if (!description) {
        m_descriptionMissing = true;
        if (m_placeholders) {
            description = readPlaceholder(docFolder + kPlaceholderName + QStringLiteral(".TXT"));
        } else {
            m_description = kNoDescription;
            return;
        }
    }
    const text::DecodedText decoded = text::decode(*description);
    m_readEncoding = decoded.encoding;
    // Lines are CR LF in the file and plain line feeds in the text area.
    m_description = QString(decoded.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void PhotoSeries::changeButtonProperty() {
    const QString photoFolder = readFolder(m_keys.photoKey);
    const auto exists = [&](int k) {
        return stepStaysInRange(m_number, k) &&
               !existingFile(photoFileName(photoFolder, m_code, stepNumber(m_number, k))).isEmpty();
    };
    m_buttons.next = exists(1);
    m_buttons.plus5 = exists(5);
    if (m_number == kFirst)
        m_buttons.prior = m_buttons.first = false;
}

void PhotoSeries::moveTo(const QString& number) {
    m_number = number;
    loadPhotoFile();
    changeButtonProperty();
}

void PhotoSeries::first() {
    if (m_number != kFirst)
        moveTo(kFirst);
}

void PhotoSeries::prior() {
    if (m_number != kFirst)
        moveTo(stepNumber(m_number, -1));
}

void PhotoSeries::next() {
    if (stepStaysInRange(m_number, 1))
        moveTo(stepNumber(m_number, 1));
}

void PhotoSeries::plus5() {
    if (stepStaysInRange(m_number, 5))
        moveTo(stepNumber(m_number, 5));
}

void PhotoSeries::save(const QString& description) {
    const QString docFolder = readFolder(m_keys.docKey);
    const QString named = descriptionFileName(docFolder, m_code, m_number);
    const QString existing = existingFile(named);
    const QString path = existing.isEmpty() ? named : existing;
    const text::Encoding encoding = m_readEncoding.value_or(text::Encoding::Cp932);
    QString crlf = description;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QByteArray bytes = text::encode(crlf, encoding, encoding != text::Encoding::Cp932);

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Error(QStringLiteral("%1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw Error(QStringLiteral("%1: %2").arg(path, file.errorString()));
}

} // namespace tabi::photos
