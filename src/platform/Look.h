#pragma once

class QApplication;

// The program's font: the small sans serif its window sizes were drawn for.
void applyProgramLook(QApplication& app);
