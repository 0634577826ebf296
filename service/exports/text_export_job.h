#pragma once
// The text export as the service starts it: the rows are copied under the data-store lock,
// the file is written after the lock is released.
namespace mirvale {

class CMirvaleFrm;

void ExportText(CMirvaleFrm& owner);

}  // namespace mirvale
