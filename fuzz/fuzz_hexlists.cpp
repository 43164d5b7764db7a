// Hex code lists as typed in the machine set-up and stored in machine files:
// any text is normalised, expanded or refused with a reason, never more.
#include "core/codepage.h"
#include "dnc/hexlists.h"
#include "fuzzsupport.h"

using namespace lumrik;
using fuzz::check;

LUMRIK_FUZZ_SETUP

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fromCp1252(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));

    QString typed = text;
    const QString normal = RkParseHexData(typed);
    QString again = normal;
    if (!normal.startsWith('('))
        check(RkParseHexData(again) == normal, "a normalised list stays as it is");

    QByteArray out;
    RkParseHexString2String(out, text, QStringLiteral(","));
    QByteArray rep;
    QString repText = text;
    RkFixMultiChrs(rep, repText);

    QString why;
    if (const auto codes = expandHexCodes(text, &why)) {
        if (!text.contains('('))
            check(codes->size() <= text.size(), "a list gives at most one byte per character");
    } else {
        check(!why.isEmpty(), "a refused leader or trailer has its reason");
    }
    why.clear();
    if (const auto list = expandHexList(text, &why)) {
        check(list->size() <= text.size(), "a list gives at most one byte per character");
        if (const auto first = parseHexCode(text))
            check(list->isEmpty() || uint8_t(list->at(0)) == *first, "a single code is the list's first");
    } else {
        check(!why.isEmpty(), "a refused filter list has its reason");
    }
    why.clear();
    if (!parseHexCode(text, &why))
        check(!why.isEmpty(), "a refused code has its reason");
    const qint64 v = leadingHexValue(text);
    check(v >= -1 && v <= 0xffffffffLL, "a leading hex value fits 32 bits or is -1");
    return 0;
}
