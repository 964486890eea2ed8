#pragma once

class QMdiArea;
class QWidget;

namespace tabi {

// The menu command "Accessデータベースの取り込み...": asks for the reference and the personal Access file, shows
// what they hold, closes the open screens, imports with a progress dialog and ends with the report (or with what
// failed; the databases then stay as they were). Every question goes through the dialog seam.
void importAccessDatabases(QWidget* parent, QMdiArea* documents);

} // namespace tabi
