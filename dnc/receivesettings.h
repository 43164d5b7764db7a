#pragma once
// The receive side's reading of a machine file: port, serial settings,
// handshake, silence time, character code, receive folder, start character,
// filter and protocol, with the receive side's own defaults.
#include "dnc/receive.h"

#include <QString>

namespace lumrik {

struct RxdSettings {
    int lComPort = 1;
    QString sBaudRate;
    QString sCommSettings;      // "2400,E,7,1"
    int lHandshake = 0;         // 0 until a known "Protokoll" sets it; kept for an unknown one
    int recDelayMs = 0;         // silence time; 0: no silence timer
    QString sFileExtension = QStringLiteral("*.*");  // the machine's "FileExtension"
    QString receiveFolder;      // expanded, with a trailing separator
    RxdOptions options;         // start character, code, filter, KEARNEY
};

// Reads the keys in order into `s`. False when a value cannot be used (a port
// or silence time that is not a number, a malformed start character or
// filter list); `reason` then tells which, and the fields not yet reached keep
// their values.
bool readRxdSettings(const QString &cfgFile, RxdSettings &s, QString *reason = nullptr);

// "RecDelay" in milliseconds: seconds, "," or "." as decimal separator, rounded;
// an empty value is 0. -1 when it is not a usable number.
int recDelayMs(const QString &text);

}
