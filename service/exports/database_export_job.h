#pragma once
// The database export as the service starts it: the rows are copied under the data-store lock,
// the database is written after the lock is released.
namespace mirvale {

class CMirvaleFrm;

void ExportDatabase(CMirvaleFrm& owner);

}  // namespace mirvale
