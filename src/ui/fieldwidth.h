#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace tabi {
struct FieldDef;
}

namespace tabi::ui {

// Keeps what the user types or pastes into a line edit within a text field's width in characters, counted as the
// database counts them (a surrogate pair is one character; QLineEdit's own maximum counts UTF-16 units and would
// split the pair). What goes past the width is cut from the inserted text, never inside a pair, and the status
// bar says so. Text with a character the field refuses is left whole for the write to refuse with its message.
class FieldWidthLimit : public QObject {
public:
    explicit FieldWidthLimit(QLineEdit* edit);

    // The field whose width applies; a field that is not text (or nullptr) sets no limit.
    void setField(const FieldDef* field);
    int width() const { return m_width; }

    // To be called first on the line edit's textEdited: cuts the inserted text to the width. True when it cut.
    bool apply();

    // The status bar text after a cut.
    static QString cutMessage(const FieldDef& field);

private:
    QLineEdit* m_edit;
    QString m_previous; // the text before the current edit (textEdited comes before textChanged)
    int m_width = 0;
    QString m_message;
};

} // namespace tabi::ui
