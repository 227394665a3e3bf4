#pragma once

struct AppContext;
class QWidget;

// Wires the five print buttons of the main window to their report layouts.
void connectPrintButtons(AppContext& context, QWidget* mainWindow);
