#include "photos/photoseries.h"

#include "data/atomicfile.h"
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
    // A FIFO or a device of that name is not opened: opening it could wait for ever.
    if (path.isEmpty() && QFileInfo::exists(named))
        throw Error(QStringLiteral("%1: 通常のファイルではありません。").arg(named));
    QFile file(path.isEmpty() ? named : path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("%1: ファイルを開けません（%2）。").arg(file.fileName(), file.errorString()));
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
    show();
}

void PhotoSeries::show() {
    try {
        loadPhotoFile();
    } catch (const Error&) {
        changeButtonProperty();
        throw;
    }
    changeButtonProperty();
}

void PhotoSeries::showAsMissing(const QString& photoFolder, const QString& infoLine) {
    m_image = QImage();
    m_infoLine = infoLine;
    m_buttons.save = m_buttons.next = m_buttons.prior = false;
    if (m_placeholders) {
        const QString placeholder = photoFolder + kPlaceholderName + QStringLiteral(".JPG");
        const QByteArray bytes = readPlaceholder(placeholder);
        m_image = m_stretched ? decodeJpegToFill(bytes, placeholder, m_area).image
                              : decodeJpegTopLeft(bytes, placeholder, m_area).image;
    } else {
        m_imageVisible = false;
    }
}

void PhotoSeries::loadPhotoFile() {
    const QString photoFolder = readFolder(m_keys.photoKey);
    const QString docFolder = readFolder(m_keys.docKey);

    m_buttons.save = m_buttons.next = m_buttons.prior = m_buttons.first = true;
    m_imageVisible = true;
    m_image = QImage();

    // The photo first. A photo that cannot be shown ends the loading; the text area is emptied so that it never
    // shows one number with another's text (and the save button is off). An error of the viewer's placeholder
    // is raised after the description is loaded.
    std::optional<Error> failure;
    const QString photoPath = existingFile(photoFileName(photoFolder, m_code, m_number));
    try {
        if (photoPath.isEmpty() || !QFileInfo(photoPath).isReadable()) {
            showAsMissing(photoFolder,
                          imageNotFound(QFileInfo(photoFileName(photoFolder, m_code, m_number)).fileName()));
        } else {
            try {
                const QByteArray bytes = readJpegFile(photoPath);
                const DecodedJpeg decoded = m_stretched ? decodeJpegToFill(bytes, photoPath, m_area)
                                                        : decodeJpegTopLeft(bytes, photoPath, m_area);
                m_image = decoded.image;
                m_infoLine = QStringLiteral("File name: %1  Width: %2  Height: %3")
                                 .arg(QFileInfo(photoPath).fileName())
                                 .arg(decoded.size.width())
                                 .arg(decoded.size.height());
            } catch (const Error& e) {
                failure = e;
                // The information line names the file without its folder, as for a photo shown.
                QString problem = e.message();
                if (problem.startsWith(photoPath))
                    problem = QFileInfo(photoPath).fileName() + problem.mid(photoPath.size());
                showAsMissing(photoFolder, problem);
                m_description.clear();
                m_descriptionMissing = false;
                m_readBytes.reset();
                throw;
            }
        }
    } catch (const Error& e) {
        if (failure)
            throw;   // the photo itself could not be shown: the command stops here
        failure = e; // the viewer's placeholder image could not be shown
    }

    m_descriptionMissing = false;
    m_readBytes.reset();
    std::optional<QByteArray> description =
        readIfPresent(existingFile(descriptionFileName(docFolder, m_code, m_number)));
    if (description) {
        m_readBytes = description;
    } else {
        m_descriptionMissing = true;
        m_description = kNoDescription;
        if (m_placeholders) {
            try {
                description = readPlaceholder(docFolder + kPlaceholderName + QStringLiteral(".TXT"));
            } catch (const Error& e) {
                if (!failure)
                    failure = e;
            }
        }
    }
    if (description) {
        const text::DecodedText decoded = text::decode(*description);
        m_readEncoding = decoded.encoding;
        m_readBom = decoded.hadBom;
        // A file without a line break keeps the line ending in use.
        if (decoded.text.contains(QLatin1String("\r\n")))
            m_readNewline = QStringLiteral("\r\n");
        else if (decoded.text.contains(QLatin1Char('\n')))
            m_readNewline = QStringLiteral("\n");
        // Lines are CR LF in the file and plain line feeds in the text area.
        m_description = QString(decoded.text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    if (failure)
        throw *failure;
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
    show();
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

    QByteArray bytes;
    if (m_readBytes && description == m_description) {
        // Unedited: the bytes as read, including any the text could not hold.
        bytes = *m_readBytes;
    } else {
        const text::Encoding encoding = m_readEncoding.value_or(text::Encoding::Cp932);
        QString lines = description;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (m_readNewline != QLatin1String("\n"))
            lines.replace(QLatin1Char('\n'), m_readNewline);
        const bool bom = m_readEncoding ? m_readBom : false;
        bytes = text::encode(lines, encoding, bom);
    }
    files::replaceFile(path, bytes, QStringLiteral("説明ファイル"));
}

} // namespace tabi::photos
