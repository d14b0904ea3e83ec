// Pairing of key and locale lines from arbitrary file contents: byte-order marks,
// CR, LF, empty lines and invalid UTF-8. The input is the locale file, a NUL byte,
// then the key file.
#include "i18n/globalize_p.h"

#include <QBuffer>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    QByteArray localeBytes = split < 0 ? input : input.left(split);
    QByteArray keyBytes = split < 0 ? QByteArray() : input.mid(split + 1);

    QBuffer localeFile(&localeBytes);
    QBuffer keyFile(&keyBytes);
    localeFile.open(QIODevice::ReadOnly | QIODevice::Text);
    keyFile.open(QIODevice::ReadOnly | QIODevice::Text);

    QMap<QString, QString> translations;
    translations.insert(QStringLiteral("Earlier"), QStringLiteral("kept"));
    Globalize::PairTranslationLines(localeFile, keyFile, translations);

    // Never more entries than key lines, and an earlier entry is only ever replaced.
    const qsizetype keyLines = keyBytes.count('\n') + keyBytes.count('\r') + 1;
    if (translations.size() > keyLines + 1 || !translations.contains(QStringLiteral("Earlier"))) {
        std::abort();
    }
    return 0;
}
