#pragma once

class QWidget;

// Asks for a file, writes the settings document to it and reports the outcome in
// a notice owned by the window.
void ExportSettings(QWidget* window);
