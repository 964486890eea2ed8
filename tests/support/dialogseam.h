#pragma once

#include "ui/dialogs.h"

#include <QList>
#include <QString>
#include <functional>

namespace tabi::test {

// Answers every modal wait of the program while alive and records what was asked, so GUI tests never block.
// Unless told otherwise: message boxes are acknowledged, questions answered Yes, choices with their default
// button (Enter), file dialogs cancelled and
// dialogs run through exec() rejected without being shown.
class DialogAnswerer {
public:
    DialogAnswerer();
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // The next answers, used in order before the defaults.
    void answerQuestion(bool yes) { m_questions.append(yes); }
    void answerFile(const QString& fileName) { m_files.append(fileName); }
    void answerChoice(int index) { m_choices.append(index); } // -1: Esc
    // Runs for each exec'd dialog (the dialog may be filled or inspected); returns the result code.
    void onExec(std::function<int(QDialog&)> handler) { m_exec = std::move(handler); }

    const QList<ui::DialogRequest>& requests() const { return m_requests; }
    QList<ui::DialogRequest> requests(ui::DialogKind kind) const;
    int count(ui::DialogKind kind) const { return int(requests(kind).size()); }
    void clear() { m_requests.clear(); }

private:
    ui::DialogReply answer(const ui::DialogRequest& request);

    ui::DialogHandler m_previous;
    QList<ui::DialogRequest> m_requests;
    QList<bool> m_questions;
    QList<int> m_choices;
    QList<QString> m_files;
    std::function<int(QDialog&)> m_exec;
};

} // namespace tabi::test
