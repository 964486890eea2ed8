#pragma once

#include <QByteArray>

class QWidget;

namespace tabi {

// The reference database at start-up: a missing one is made with the national network supplied with the program;
// an existing one that lacks it (made by an older version, or brought over from Access) is offered it once. The
// network defaults to the one built into the program; tests hand in their own. Failures are shown and the start
// goes on with the database as it is.
void prepareReferenceDatabase(QWidget* parent);
void prepareReferenceDatabase(QWidget* parent, const QByteArray& network);

// The question of the offer: "全国路線データを最新にしますか？" with what would change.
QString networkOfferText(const QString& changes, const QString& dataDate);

} // namespace tabi
