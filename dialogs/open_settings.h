#pragma once

#include "dialogs/fileproblemsdialog.h"

#include <QString>

#include <string>
#include <utility>
#include <vector>

class QWidget;

// What opening a settings file found, before anything in the window changes.
struct SettingsFileOpening {
    // False when nothing can be loaded: the file cannot be read, is too large, is
    // not UTF-8 or not a JSON object. The document then stays as it is.
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
SettingsFileOpening ReadSettingsFileToOpen(const QString& path);

// Shows the notice of an opening, if it has one, over the window.
void ShowOpeningNotice(QWidget* window, const SettingsFileOpening& opening);
