#pragma once

class QString;
class QWidget;

// Asks for a file, starting at `startPath` (a folder, or a file whose folder opens
// with its name filled in), writes the settings document to it and reports the
// outcome in a notice owned by the window. Returns the path written, or an empty
// string when the dialog was cancelled or the write failed.
QString ExportSettings(QWidget* window, const QString& startPath);
