#pragma once

#include <QMap>
#include <QString>

class QIODevice;

namespace Globalize {

// Stores line n of the locale file as the text of key line n, until either file
// ends. Both devices are open for reading; the caller holds the catalogue's lock.
void PairTranslationLines(QIODevice& localeFile, QIODevice& keyFile, QMap<QString, QString>& translations);

} // namespace Globalize
