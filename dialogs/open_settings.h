#pragma once

#include "dialogs/fileproblemsdialog.h"
#include "settings/bounded_read.h"

#include <QString>

#include <string>
#include <utility>
#include <vector>

class QWidget;

// What opening a settings file found, before anything in the window changes.
struct SettingsFileOpening {
    // False when nothing can be loaded: the file cannot be read, is no regular
    // file, is too large, is not UTF-8 or not a JSON object. The document then stays as it is.
    bool loadable = false;
    // The settings to load, in file order (ReplaceSettings puts the required
    // settings first when they lack them).
    std::vector<std::pair<std::string, std::string>> settings;
    // What the user is told; an empty title means there is nothing to tell.
    QString noticeTitle;
    QString noticeText;
    std::vector<FileProblemRow> problems;
};

// Reads and checks the file with the check tool's rules, in the loaded language.
// Only a regular file is read (a pipe or device is refused at once), with its
// path exactly as given.
SettingsFileOpening ReadSettingsFileToOpen(const NativePath& path);

// Shows the notice of an opening, if it has one, over the window.
void ShowOpeningNotice(QWidget* window, const SettingsFileOpening& opening);
