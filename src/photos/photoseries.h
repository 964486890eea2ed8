#pragma once

#include "data/textcodec.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

// The photos of one record: files named by the record's code and a two-digit photo number in the folders of
// section "Path" of the settings file, shown one at a time with their descriptions. This is the whole logic of
// the photo page (LoadPhotoFile, ChangeButtonProperty, the five buttons); the page widget only shows its state.
namespace tabi::photos {

// Settings keys of the photo and description folders of one kind of record.
struct PhotoKeys {
    QString photoKey;
    QString docKey;
    static PhotoKeys routes() { return {QStringLiteral("PhotoPath"), QStringLiteral("DocPath")}; } // and ropeways
    static PhotoKeys others() { return {QStringLiteral("OthersPhotoPath"), QStringLiteral("OthersDocPath")}; }
};

inline const QString kNoImageCaption = QStringLiteral("画像なし");
// The information line of a missing photo, naming the file without its folder.
inline QString imageNotFound(const QString& fileName) {
    return QStringLiteral("画像ファイル %1 がありません。").arg(fileName);
}
inline const QString kNoDescription = QStringLiteral("画像に関する説明ファイルなし");
// Base name of the photo viewer's placeholder image and description.
inline const QString kPlaceholderName = QStringLiteral("NOPHOTO");

// A folder from section "Path": used as a prefix exactly as written; empty when the key is absent or "Failure".
QString readFolder(const QString& key);

// The step rule: value + k written right-aligned in two characters, first two characters kept, a leading blank
// made "0". "07" + 5 = "12"; "99" + 1 = "10" (three digits cut).
QString stepNumber(const QString& number, int k);
// Whether value + k stays within "00".."99"; the series never steps past "99".
bool stepStaysInRange(const QString& number, int k);

// folder + code + number + ".JPG" / ".TXT".
QString photoFileName(const QString& folder, const QString& code, const QString& number);
QString descriptionFileName(const QString& folder, const QString& code, const QString& number);
// The file as named, or the same name with a lower-case extension; empty when neither exists.
QString existingFile(const QString& path);

struct PhotoButtons {
    bool first = false; // BitBtnT
    bool prior = false; // BitBtnP
    bool next = false;  // BitBtnN
    bool plus5 = false; // BitBtn5
    bool save = false;  // BitBtnS
};

class PhotoSeries {
public:
    // Placeholders: the photo viewer shows NOPHOTO.JPG / NOPHOTO.TXT of the same folders for a missing photo or
    // description (and reports it as an error when the placeholder itself cannot be opened).
    explicit PhotoSeries(PhotoKeys keys = PhotoKeys::routes(), bool placeholders = false)
        : m_keys(std::move(keys)), m_placeholders(placeholders) {}

    // The area the photo is shown in: stretched to it (the page, 420 x 280), or drawn at its own size from the
    // top-left corner and clipped (the viewer). The photo is decoded only as far as the area needs.
    void setImageArea(QSize area, bool stretched) {
        m_area = area;
        m_stretched = stretched;
    }

    // Page shown: the code of the host's current record, number "00", then load and set the buttons.
    void start(const QString& code);
    // Shows the photo and description of the current number. A photo that opens but cannot be shown (it does
    // not decode, or it is too large) stops the loading: the page is left as for a missing photo, with the
    // problem in the information line and an empty description (never another number's), and the problem is
    // raised as tabi::Error naming the file.
    void loadPhotoFile();
    // Enables next and +5 by the existence of their photo files; first and prior stay off at "00".
    void changeButtonProperty();

    void first(); // BitBtnT
    void prior(); // BitBtnP
    void next();  // BitBtnN
    void plus5(); // BitBtn5
    // BitBtnS: the text as the description of the current photo, in the form last read (encoding, byte-order
    // mark, line ending; CP932 with CR LF when none). The text as read, unedited, is written back as the very
    // bytes read. The file is replaced whole or not at all; throws tabi::Error naming it and the reason.
    void save(const QString& text);

    const QString& code() const { return m_code; }
    const QString& number() const { return m_number; }
    bool imageVisible() const { return m_imageVisible; }
    const QImage& image() const { return m_image; }
    const QString& infoLine() const { return m_infoLine; }
    const QString& description() const { return m_description; }
    bool descriptionMissing() const { return m_descriptionMissing; } // shown in red
    const PhotoButtons& buttons() const { return m_buttons; }
    std::optional<text::Encoding> readEncoding() const { return m_readEncoding; }

private:
    void moveTo(const QString& number);
    // LoadPhotoFile then ChangeButtonProperty; an error of the first is raised after the second has run.
    void show();
    void showAsMissing(const QString& photoFolder, const QString& infoLine);

    PhotoKeys m_keys;
    bool m_placeholders = false;
    QString m_code;
    QString m_number = QStringLiteral("00");
    bool m_imageVisible = false;
    QImage m_image;
    QString m_infoLine;
    QString m_description;
    bool m_descriptionMissing = false;
    PhotoButtons m_buttons;
    std::optional<text::Encoding> m_readEncoding;
    bool m_readBom = false;
    QString m_readNewline = QStringLiteral("\r\n");
    std::optional<QByteArray> m_readBytes; // the current number's description file as read
    QSize m_area{420, 280};
    bool m_stretched = true;
};

} // namespace tabi::photos
