#pragma once

#include "data/textcodec.h"

#include <QImage>
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
inline const QString kImageNotFound = QStringLiteral("Image file not found.");
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

    // Page shown: the code of the host's current record, number "00", then load and set the buttons.
    void start(const QString& code);
    // Shows the photo and description of the current number. Throws tabi::Error naming the file when a photo
    // opens but does not decode; the description is then left as it was.
    void loadPhotoFile();
    // Enables next and +5 by the existence of their photo files; first and prior stay off at "00".
    void changeButtonProperty();

    void first(); // BitBtnT
    void prior(); // BitBtnP
    void next();  // BitBtnN
    void plus5(); // BitBtn5
    // BitBtnS: the text as the description of the current photo, in the encoding last read (CP932 when none).
    // Throws tabi::Error when the file cannot be written.
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
};

} // namespace tabi::photos
