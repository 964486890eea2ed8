#pragma once

#include <QStringList>

// The only SQL statements the screens run: each empties or trims a work table of the reference database.
// Lines are joined with line breaks when run (Database::execLines); a trailing blank is part of its line.
namespace tabi::sql {

// Empty the tagged-ride table (tally by category).
inline QStringList clearTaggedRides() { return {QStringLiteral("DELETE FROM \"TMP_JOSHA_KUBUN\"")}; }

// Give every tagged ride the category of its route; rides of routes missing from MASTER keep their value.
// (The tally's own step tags each ride as it copies it, which leaves the same rows without rewriting them.)
// A join update, written in SQLite's UPDATE ... FROM form. A route without a category leaves its rides as
// they are too ("00", counted in no category) instead of making the whole step fail on an empty code.
inline QStringList tagRidesWithCategory() {
    return {QStringLiteral("UPDATE TMP_JOSHA_KUBUN SET KBN_CD = [MASTER].[KBN_CD] "),
            QStringLiteral("FROM MASTER WHERE [TMP_JOSHA_KUBUN].[ROSEN_CD]=[MASTER].[ROSEN_CD] "),
            QStringLiteral("AND [MASTER].[KBN_CD] IS NOT NULL")};
}

// Empty the unridden routes list.
inline QStringList clearUnriddenList() { return {QStringLiteral("DELETE FROM \"CFM_MIJO\"")}; }

// Drop the completely ridden routes from the unridden routes list.
inline QStringList dropCompletedRoutes() {
    return {QStringLiteral("DELETE FROM \"CFM_MIJO\" "), QStringLiteral("WHERE [CFM_MIJO].[JOSHA_RATIO] > 99.9999 AND "),
            QStringLiteral("[CFM_MIJO].[JOSHA_RATIO] < 100.0001")};
}

// Empty the ride check list.
inline QStringList clearRideCheckList() { return {QStringLiteral("DELETE FROM \"CFM_JOSHA\"")}; }

// Empty the photo file list.
inline QStringList clearPhotoFileList() { return {QStringLiteral("DELETE FROM \"CFM_FILES\"")}; }

// Keep only the photo file rows that carry a remark.
inline QStringList keepRemarkedPhotoFiles() {
    return {QStringLiteral("DELETE FROM \"CFM_FILES\" "), QStringLiteral("WHERE [CFM_FILES].[BIKO] IS NULL")};
}

} // namespace tabi::sql
