// Settings files: any bytes load; a file that is not edited is written back
// byte for byte; a value that is set reads back as set (or is refused and
// changes nothing); the stored conversions never fail on any text.
#include "core/codepage.h"
#include "core/inifile.h"
#include "core/settings.h"
#include "fuzzsupport.h"

using namespace lumrik;
using fuzz::check;

LUMRIK_FUZZ_SETUP

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t pick = in.byte();
    const QByteArray bytes = in.rest();

    IniFile ini;
    ini.loadFromBytes(bytes);
    check(ini.toBytes() == bytes, "an unedited settings file is written back as it was read");

    const QStringList sections = ini.sections();
    for (const QString &s : sections) {
        for (const QString &k : ini.keys(s)) {
            check(ini.contains(s, k), "a listed key is there");
            const QString v = ini.value(s, k);
            toInt16(v);
            toInt32(v);
            toTruth(v);
        }
    }

    // One edit: a key of the file (or a new one) gets a value cut from the input.
    QString section = QStringLiteral("Settings"), key = QStringLiteral("Fuzz");
    if (!sections.isEmpty()) {
        section = sections[pick % sections.size()];
        const QStringList keys = ini.keys(section);
        if (!keys.isEmpty())
            key = keys[(pick >> 4) % keys.size()];
    }
    const QString value = fromCp1252(bytes.left(40)).simplified();
    const QByteArray before = ini.toBytes();
    if (ini.setValue(section, key, value)) {
        check(ini.value(section, key) == value.trimmed() || value.startsWith('"') || value.startsWith('\''),
              "a value set reads back");
        IniFile again;
        again.loadFromBytes(ini.toBytes());
        // (An edit can leave a Windows-1252 file whose other bytes read as UTF-8:
        // such a file is read as UTF-8 next time, by the encoding rule.)
        if (again.encoding() == ini.encoding())
            check(again.value(section, key) == ini.value(section, key), "a value set survives writing and reading");
    } else {
        check(ini.toBytes() == before, "a refused value changes nothing");
        check(!ini.refusal(section, key, value).isEmpty(), "a refused value has its reason");
    }
    return 0;
}
