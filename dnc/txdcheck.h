#pragma once
// Before a send: does the program hold a character that the line cannot
// carry as it stands? On a line of fewer than 8 data bits a byte above the
// top the bits can hold loses its high bits on the way (a UTF-8 "Å" reaches
// the control as "C" and ENQ); in EIA every character without a tape code
// goes out as blank tape (N10 #100=5*2 reaches it as "N10 100 5 2"). Only
// what would be sent counts: comment lines, "DoNotSend" lines and what
// follows "SendTo" are not looked at, the filter character is taken out.
#include "core/codepage.h"
#include "dnc/txdsend.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace lumrik {

struct TxdUncarried {
    enum class Why { HighBits, BlankTape };
    Why why = Why::HighBits;
    int line = 0;           // line of the program, from 1
    QString lineText;       // that line as the program reads
    QString character;      // the first such character
    QByteArray bytes;       // its bytes in the program
};

// The first character of `program` (the hand-off file without its byte-order
// mark, in `encoding`) that the line of `s` cannot carry; none when every
// character goes out as it is meant.
std::optional<TxdUncarried> txdFirstUncarried(QByteArrayView program, const TxdSettings &s, const TxdOptions &options,
                                              TextEncoding encoding);

// The question put to the user before such a program is sent; "Nej" sends nothing.
QString txdUncarriedQuestion(const TxdUncarried &u, int dataBits);
QString txdUncarriedTitle();

}
