#pragma once

#include "ui/screen.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tabi {

// Registers the screens of the shell itself (the settings dialog) with the screen registry.
void registerShellScreens();

// The settings dialog: a document window showing the settings file, refreshed from the file each time it
// becomes the active document window, and written back key by key on "了解(&R)".
class TConfig : public Screen {
    Q_OBJECT
public:
    explicit TConfig(QWidget* parent = nullptr);

    // Fills every field from the system and the settings file; runs on every activation.
    void activated() override;

    // "了解(&R)": writes every key, then closes. "取消(&C)": closes without writing.
    void accept();
    void cancel();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRadioButton* m_radioButton1;
    QRadioButton* m_radioButton2;
    QLabel* m_labelPhysMem;
    QLabel* m_labelFreeRes;
    QLineEdit* m_editPhotoPath;
    QLineEdit* m_editDocPath;
    QLineEdit* m_editPhotoPath2;
    QLineEdit* m_editDocPath2;
    QLineEdit* m_editExePath;
    QLineEdit* m_editHelpFile;
    QLineEdit* m_editUserName;
    QRadioButton* m_radioButtonM1;
    QRadioButton* m_radioButtonM4;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace tabi
