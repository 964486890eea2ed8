#pragma once

#include "ui/screen.h"

class QPlainTextEdit;

namespace tabi {

// The generic text document window: one plain-text area without word wrap, filling the window. Its text lives
// only in memory.
class TMDIChild : public Screen {
    Q_OBJECT
public:
    explicit TMDIChild(const QString& caption, QWidget* parent = nullptr);

    QPlainTextEdit* memo() const { return m_memo; }

private:
    QPlainTextEdit* m_memo;
};

} // namespace tabi
