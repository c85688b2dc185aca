#pragma once
// The temporary files the reports of this test keep their rows in, found through the process's
// open files (they have no name left).

namespace vc::test {

// Cuts every one of them to nothing, as a disk fault would under the rows; returns how many.
int EmptyReportFiles();

}  // namespace vc::test
