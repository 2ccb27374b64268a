// Test hooks for printing: a print sink instead of the system's print dialog.
// The program itself never calls these.
#pragma once

#include <string>

namespace fw::testing {

// Every OpenPrinterDialog from now on is confirmed at once and prints a PDF to
// `path` (US Letter, half-inch margins), written when the job finishes.
void PrintToPdf(const std::string& path);
// Every OpenPrinterDialog from now on is cancelled at once and returns nil.
void CancelPrintDialogs();
// Back to showing the system's print dialog.
void ShowPrintDialogs();
// How many times OpenPrinterDialog ran since the last of the calls above.
int PrintDialogCount();

}  // namespace fw::testing
