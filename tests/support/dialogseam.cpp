#include "dialogseam.h"

#include <QDialog>

namespace tabi::test {

DialogAnswerer::DialogAnswerer() {
    m_previous = ui::setDialogHandler([this](const ui::DialogRequest& request) { return answer(request); });
}

DialogAnswerer::~DialogAnswerer() {
    ui::setDialogHandler(std::move(m_previous));
}

QList<ui::DialogRequest> DialogAnswerer::requests(ui::DialogKind kind) const {
    QList<ui::DialogRequest> list;
    for (const ui::DialogRequest& r : m_requests)
        if (r.kind == kind)
            list.append(r);
    return list;
}

ui::DialogReply DialogAnswerer::answer(const ui::DialogRequest& request) {
    m_requests.append(request);
    ui::DialogReply reply;
    switch (request.kind) {
    case ui::DialogKind::Information:
    case ui::DialogKind::Critical:
        break;
    case ui::DialogKind::Question:
        reply.result = m_questions.isEmpty() ? 1 : int(m_questions.takeFirst());
        break;
    case ui::DialogKind::Choice:
        reply.result = m_choices.isEmpty() ? request.defaultChoice : m_choices.takeFirst();
        break;
    case ui::DialogKind::OpenFile:
    case ui::DialogKind::SaveFile:
        if (!m_files.isEmpty())
            reply.fileName = m_files.takeFirst();
        break;
    case ui::DialogKind::Exec:
        reply.result = (m_exec && request.dialog) ? m_exec(*request.dialog) : int(QDialog::Rejected);
        break;
    }
    return reply;
}

} // namespace tabi::test
