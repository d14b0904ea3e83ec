// Translate with arbitrary keys, markers and arguments.
#include "i18n/globalize.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Globalize::LoadLanguage(DefaultLocaleId);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString key = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString plain = Globalize::Translate(key);
    const QString marked = Globalize::Translate(QStringLiteral("@@") + key);
    // A marker never changes what a key means: either both find the same text or
    // both come back as passed in.
    if (!key.startsWith(QStringLiteral("@@")) && marked != plain
        && !(plain == key && marked == QStringLiteral("@@") + key)) {
        std::abort();
    }
    return 0;
}
